#pragma once

#include <QDateTime>
#include <QString>

namespace orbalis {

// The name a damaged file is kept under beside itself: its own name followed
// by ".damaged-YYMMDD-HHMMSS" at the given time, for example
// "User Setting.ini.damaged-240501-120000".
QString setAsideName(const QString &path, const QDateTime &at);

} // namespace orbalis
