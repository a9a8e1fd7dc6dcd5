#pragma once

#include <QStringList>

namespace orbalis::sim {

// The whole simulator program: parses the arguments, then either writes the
// first settings file or serves the controllers until SIGINT or SIGTERM.
// Returns the exit code: 0 done, 1 could not run, 2 bad arguments.
int runSimulator(const QStringList &arguments, const QString &defaultProgramDir);

} // namespace orbalis::sim
