#include "set_aside_name.h"

namespace orbalis {

QString setAsideName(const QString &path, const QDateTime &at)
{
    return path + QStringLiteral(".damaged-") + at.toString(QStringLiteral("yyMMdd-HHmmss"));
}

} // namespace orbalis
