#pragma once

namespace orbalis::sim::reg {

// Holding registers the simulated controller acts on.
constexpr int SV = 0, RAMP = 1;
constexpr int A1SP = 4, A1HY = 5, A1FU = 6, A1MD = 7, A1DT = 8;
constexpr int A2SP = 9, A2HY = 10, A2FU = 11, A2MD = 12, A2DT = 13;
constexpr int OUTL = 14, RUN = 15, ACT = 16;
constexpr int PB1 = 17, TI1 = 18, TD1 = 19, MR1 = 20, AR1 = 21;
constexpr int TYPE = 40, SCAL = 41, SCAH = 42, CUT = 43, UNIT = 44, DP = 45;
constexpr int LOLT = 46, HILT = 47, PTME = 48, EROP = 49, SVOF = 50, PVOF = 51, FILT = 52;
constexpr int BAUD = 53, ID = 54, CT = 55, FUNCTION = 56, CH = 57, CL = 58;
constexpr int MBACKUP = 59, START_AT = 60, BAND = 61;
constexpr int SEGMENT1 = 62;     // RTn, SPn, STn, SFn, JPn from 62 + 5 (n - 1)
constexpr int SEGMENT_STRIDE = 5;
constexpr int HYSM = 102, OUCH = 103, OUCL = 104;

// Choice codes the controller reacts to.
constexpr int RUN_OFF = 17, RUN_AT1 = 18, RUN_AT2 = 19, RUN_HAND = 20, RUN_ON = 21,
              RUN_PROG = 22, RUN_HOLD = 23;
constexpr int ACT_REV = 24;
constexpr int DP_NONE = 47, DP_ONE = 48, DP_THREE = 50;
constexpr int PTME_HH_MM = 52;
constexpr int START_AT_ZERO = 70;
constexpr int BAUD_2400 = 61, BAUD_19200 = 64;
constexpr int SF_END = 80, SF_NEXT = 82;

// Input registers.
constexpr int PV_IN = 4096, SV_IN = 4097, OUT_IN = 4098, STATUS_IN = 4099;
constexpr int RAMP_T = 4100, ALM1_T = 4102, ALM2_T = 4104;
constexpr int PID_TERMS = 4106;  // SV0 .. Arw, 17 registers
constexpr int LEVEL = 4123, AD0 = 4124, AD1 = 4125;

} // namespace orbalis::sim::reg
