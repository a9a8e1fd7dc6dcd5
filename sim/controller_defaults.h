#pragma once

#include "controller_model.h"

namespace orbalis::sim {

// Factory settings of a controller at bus address id: SV 100.0 with one
// decimal, running ON at 19200 baud, PID tuned for the simulated load,
// alarms off and a short three-segment program.
HoldingRegisters defaultHoldingRegisters(int id);

} // namespace orbalis::sim
