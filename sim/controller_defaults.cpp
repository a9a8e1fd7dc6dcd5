#include "controller_defaults.h"

#include "controller_registers.h"

namespace orbalis::sim {

HoldingRegisters defaultHoldingRegisters(int id)
{
    HoldingRegisters r{};
    auto set = [&r](int address, int value) { r[std::size_t(address)] = std::uint16_t(value); };

    set(reg::SV, 1000);             // 100.0
    set(reg::A1SP, 1500);           // 150.0, high alarm once switched on
    set(reg::A1HY, 10);
    set(reg::A1FU, 0);              // A_OFF
    set(reg::A1MD, 13);             // NONE
    set(reg::A2SP, 500);            // 50.0
    set(reg::A2HY, 10);
    set(reg::A2FU, 0);
    set(reg::A2MD, 13);
    set(reg::OUTL, 250);            // 25.0 % in hand
    set(reg::RUN, reg::RUN_ON);
    set(reg::ACT, reg::ACT_REV);
    // Four PID groups with the same tuning; group 1 is the one in use.
    for (int group = 0; group < 4; ++group) {
        const int base = reg::PB1 + 6 * group;
        set(base, 300);             // PB 30.0 degrees
        set(base + 1, 600);         // TI 60.0 s
        set(base + 2, 10);          // TD 1.0 s
        set(base + 3, 0);           // MR
        set(base + 4, 1000);        // AR 100.0 %
        if (group < 3)
            set(base + 5, 0);       // ASP
    }
    set(reg::TYPE, 27);             // TC_K
    set(reg::SCAL, 0);
    set(reg::SCAH, 1000);           // 100.0
    set(reg::CUT, 40);              // None
    set(reg::UNIT, 44);             // oC
    set(reg::DP, reg::DP_ONE);
    set(reg::LOLT, 0);
    set(reg::HILT, 3000);           // 300.0
    set(reg::PTME, 51);             // MM:SS
    set(reg::EROP, 53);
    set(reg::BAUD, reg::BAUD_19200);
    set(reg::ID, id);
    set(reg::CT, 20);
    set(reg::FUNCTION, 65);         // PV
    set(reg::CH, 1000);
    set(reg::CL, 0);
    set(reg::MBACKUP, 68);          // OFF
    set(reg::START_AT, 71);         // PV
    set(reg::BAND, 0);

    struct Seg { int rt, sp, st, sf; };
    const Seg program[8] = {
        {60, 800, 60, reg::SF_NEXT},  {60, 1200, 120, reg::SF_NEXT}, {120, 600, 60, reg::SF_END},
        {60, 200, 60, reg::SF_END},   {60, 200, 60, reg::SF_END},    {60, 200, 60, reg::SF_END},
        {60, 200, 60, reg::SF_END},   {60, 200, 60, reg::SF_END},
    };
    for (int n = 0; n < 8; ++n) {
        const int base = reg::SEGMENT1 + reg::SEGMENT_STRIDE * n;
        set(base, program[n].rt);
        set(base + 1, program[n].sp);
        set(base + 2, program[n].st);
        set(base + 3, program[n].sf);
        set(base + 4, 0);
    }
    set(reg::HYSM, 5);              // 0.5
    set(reg::OUCH, 1000);
    set(reg::OUCL, 0);
    return r;
}

} // namespace orbalis::sim
