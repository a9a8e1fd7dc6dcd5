#include "alarm_colours.h"

namespace orbalis {

QColor alarmStateColour(AlarmState state)
{
    switch (state) {
    case AlarmState::ActiveUnacknowledged: return QColor(210, 0, 0);
    case AlarmState::ActiveAcknowledged: return QColor(255, 196, 0);
    case AlarmState::ReturnedUnacknowledged: return QColor(0, 90, 200);
    case AlarmState::ShelvedNormal:
    case AlarmState::ShelvedActive: return QColor(200, 200, 200);
    case AlarmState::Normal: break;
    }
    return {};
}

QColor alarmStateTextColour(AlarmState state)
{
    return state == AlarmState::ActiveUnacknowledged || state == AlarmState::ReturnedUnacknowledged ? Qt::white
                                                                                                    : Qt::black;
}

} // namespace orbalis
