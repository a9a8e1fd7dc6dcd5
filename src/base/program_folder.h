#pragma once

#include <QString>

namespace orbalis {

// The program folder: where "User Setting.ini", Orbalis.ini, the record
// files, ports/, Backups/ and the journal live. It is the folder of the
// executable when this user may write it (a build folder), so nothing moves
// for a program run where it was built. An installed program's folder is not
// writable (or, for root, is a system folder under /usr): its program folder
// is then $XDG_DATA_HOME/Orbalis, normally ~/.local/share/Orbalis, created
// here when missing.
QString programFolder(const QString &executableDir);

} // namespace orbalis
