#pragma once

#include "model/register_addresses.h"

namespace orbalis::sim::reg {

// The addresses are the console's own (reg::SV, reg::PV_IN, ...).
using namespace orbalis::reg;

// Choice codes the controller reacts to.
constexpr int RUN_OFF = 17, RUN_AT1 = 18, RUN_AT2 = 19, RUN_HAND = 20, RUN_ON = 21,
              RUN_PROG = 22, RUN_HOLD = 23;
constexpr int ACT_REV = 24;
constexpr int DP_NONE = 47, DP_ONE = 48, DP_THREE = 50;
constexpr int PTME_HH_MM = 52;
constexpr int START_AT_ZERO = 70;
constexpr int BAUD_2400 = 61, BAUD_19200 = 64;
constexpr int SF_END = 80, SF_NEXT = 82;

} // namespace orbalis::sim::reg
