#pragma once

#include <QString>

namespace orbalis {

// The version of this build, from the project's version ("0.1").
QString programVersion();

// "--version" among the arguments: prints "<programName> <version>" on
// standard output and answers true, before any window or event loop exists.
bool printVersionIfAsked(int argc, const char *const *argv, const char *programName);

} // namespace orbalis
