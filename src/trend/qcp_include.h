#pragma once

// qcustomplot.h uses Qt's plain keywords (signals:, slots, foreach); the
// build disables them, so they are mapped to the Q_ forms for this one
// include. Include QCustomPlot only through this header.
#define signals Q_SIGNALS
#define slots Q_SLOTS
#define foreach Q_FOREACH
#include <qcustomplot.h>
#undef signals
#undef slots
#undef foreach
