#include "alarm_kind.h"

#include "model/status_word.h"

namespace orbalis {

QString alarmName(AlarmKind kind)
{
    switch (kind) {
    case AlarmKind::Alarm1: return QStringLiteral("Alarm 1");
    case AlarmKind::Alarm2: return QStringLiteral("Alarm 2");
    case AlarmKind::NoReply: return QStringLiteral("No reply");
    case AlarmKind::PortLost: return QStringLiteral("Port lost");
    default: break;
    }
    return errorLegend(errorCodeOf(kind));
}

int errorCodeOf(AlarmKind kind)
{
    const int k = int(kind);
    return k >= int(AlarmKind::InputOpen) && k <= int(AlarmKind::LowError) ? k - int(AlarmKind::InputOpen) + 1 : 0;
}

AlarmKind errorKind(int code)
{
    return AlarmKind(int(AlarmKind::InputOpen) + code - 1);
}

} // namespace orbalis
