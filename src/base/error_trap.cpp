#include "error_trap.h"

namespace orbalis {

QString ErrorTrap::messageText(const QString &procedure, const Error &e)
{
    return QStringLiteral("At ") + procedure + QStringLiteral("()\r\nWrong code: ")
        + QString::number(e.number()) + QStringLiteral("\r\nWrong reasons: ") + e.description();
}

void ErrorTrap::report(const Error &e)
{
    ++failures_;
    reporter_.beep();
    reporter_.warn(title(), messageText(procedure_, e));
}

} // namespace orbalis
