#pragma once

#include "alarm_state.h"

#include <QColor>

namespace orbalis {

// One colour per state, the same in the window's lists and around the slots:
// red for active and not acknowledged, amber once acknowledged, blue for
// returned and not acknowledged, grey for shelved.
QColor alarmStateColour(AlarmState state);
// Black or white, whichever reads on the state's colour.
QColor alarmStateTextColour(AlarmState state);

} // namespace orbalis
