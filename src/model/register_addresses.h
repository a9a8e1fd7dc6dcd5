#pragma once

#include "register_map.h"

namespace orbalis::reg {

// Register addresses by the mnemonic the parameter window shows for them,
// for code that acts on a particular register: the console's cycles and
// trends, and the simulated controller. The register map holds the rest of
// what is known of each (register_map_test checks that both agree).

// Holding registers.
constexpr int SV = 0, RAMP = 1;
constexpr int A1SP = 4, A1HY = 5, A1FU = 6, A1MD = 7, A1DT = 8;
constexpr int A2SP = 9, A2HY = 10, A2FU = 11, A2MD = 12, A2DT = 13;
constexpr int OUTL = 14, RUN = 15, ACT = 16;
constexpr int PB1 = 17, TI1 = 18, TD1 = 19, MR1 = 20, AR1 = 21;
constexpr int TYPE = 40, SCAL = 41, SCAH = 42, CUT = 43, UNIT = 44, DP = 45;
constexpr int LOLT = 46, HILT = 47, PTME = 48, EROP = 49, SVOF = 50, PVOF = 51, FILT = 52;
constexpr int BAUD = 53, ID = 54, CT = 55, FUNCTION = 56, CH = 57, CL = 58;
constexpr int MBACKUP = 59, START_AT = 60, BAND = 61;
// The eight program segments: RTn, SPn, STn, SFn, JPn from 62 + 5 (n - 1).
constexpr int SEGMENT1 = 62;
constexpr int SEGMENT_STRIDE = 5;
constexpr int SEGMENTS = 8;
constexpr int JP_IN_SEGMENT = 4; // JPn, the last register of a segment
constexpr int HYSM = 102, OUCH = 103, OUCL = 104;

// Input registers (the live values).
constexpr int PV_IN = InputRegisterBase, SV_IN = InputRegisterBase + 1, OUT_IN = InputRegisterBase + 2,
              STATUS_IN = InputRegisterBase + 3;
constexpr int RAMP_T = 4100, ALM1_T = 4102, ALM2_T = 4104;
constexpr int PID_TERMS = 4106; // SV0 .. Arw, 17 registers
constexpr int LEVEL = 4123, AD0 = 4124, AD1 = 4125;

// "JP1" to "JP8": the jump counts that end each program segment.
constexpr bool isJumpCount(int address)
{
    return address >= SEGMENT1 && address < SEGMENT1 + SEGMENTS * SEGMENT_STRIDE
        && (address - SEGMENT1) % SEGMENT_STRIDE == JP_IN_SEGMENT;
}

} // namespace orbalis::reg
