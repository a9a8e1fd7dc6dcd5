#pragma once

#include <QString>

namespace orbalis {

// The login name of the user running the console, for the journal: the
// account's name, else $USER or $LOGNAME, else the user's number.
QString loginName();

} // namespace orbalis
