#include "sim/controller_model.h"
#include "sim/controller_registers.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orbalis::sim {
namespace {

constexpr double Dt = 0.1;

// Runs the controller for the given simulated seconds.
void Advance(ControllerModel &c, double seconds)
{
    for (int i = 0; i < int(std::lround(seconds / Dt)); ++i)
        c.step(Dt);
}

std::int16_t Input(const ControllerModel &c, int address)
{
    return std::int16_t(c.inputRegisters()[std::size_t(address - InputBase)]);
}

std::uint16_t Status(const ControllerModel &c)
{
    return c.inputRegisters()[reg::STATUS_IN - InputBase];
}

TEST(ControllerModelTest, StartsWithValidFactorySettings)
{
    ControllerModel c(7, 1);
    EXPECT_EQ(c.holding(reg::SV), 1000);
    EXPECT_EQ(c.holding(reg::DP), 48);
    EXPECT_EQ(c.holding(reg::RUN), reg::RUN_ON);
    EXPECT_EQ(c.holding(reg::BAUD), 64);
    EXPECT_EQ(c.holding(reg::ID), 7);
    EXPECT_EQ(c.answeringId(), 7);
    EXPECT_EQ(c.answeringBaud(), 19200);
    // Every choice register holds a code of its own list: writing each value
    // back must be accepted unchanged.
    for (int a = 0; a < HoldingCount; ++a)
        EXPECT_TRUE(c.writeHolding(a, c.holding(a))) << "address " << a;
    // Live values start at ambient, work mode None (ON), no alarm.
    EXPECT_NEAR(Input(c, reg::PV_IN) / 10.0, c.ambient(), 0.5);
    EXPECT_EQ(Input(c, reg::SV_IN), 1000);
    EXPECT_EQ(Status(c), 0x0400);
}

TEST(ControllerModelTest, RunOnSettlesNearSetValueWithinTenMinutes)
{
    ControllerModel c(1, 42);
    Advance(c, 600);
    // From here on PV stays within 2 degrees of SV and the output is steady.
    double worst = 0;
    for (int i = 0; i < 600; ++i) {
        c.step(Dt);
        worst = std::max(worst, std::abs(c.processValue() - 100.0));
    }
    EXPECT_LT(worst, 2.0);
    const double out = Input(c, reg::OUT_IN) / 10.0;
    // Holding 100 degrees takes (100 - 25) / 3.75 = 20 % at the default gain.
    EXPECT_NEAR(out, 20.0, 3.0);
    EXPECT_NEAR(Input(c, reg::PV_IN) / 10.0, 100.0, 2.0);
}

TEST(ControllerModelTest, SetValueStepIsFollowedWithoutLargeOvershoot)
{
    ControllerModel c(1, 3);
    Advance(c, 600);
    ASSERT_TRUE(c.writeHolding(reg::SV, 2000));   // 200.0
    double peak = 0;
    for (int i = 0; i < 9000; ++i) {
        c.step(Dt);
        peak = std::max(peak, c.processValue());
    }
    EXPECT_NEAR(c.processValue(), 200.0, 2.0);
    EXPECT_LT(peak, 215.0);
}

TEST(ControllerModelTest, OffGivesNoOutputAndTheLoadCoolsTowardsAmbient)
{
    ControllerModel c(1, 5);
    Advance(c, 600);
    ASSERT_TRUE(c.writeHolding(reg::RUN, reg::RUN_OFF));
    Advance(c, 1);
    EXPECT_EQ(Input(c, reg::OUT_IN), 0);
    EXPECT_EQ(Status(c) & 0x0F00, 0x0000);
    const double before = c.processValue();
    Advance(c, 60);
    const double after = c.processValue();
    EXPECT_LT(after, before - 20.0);
    Advance(c, 600);
    EXPECT_NEAR(c.processValue(), c.ambient(), 1.0);
    EXPECT_EQ(Input(c, reg::OUT_IN), 0);
}

TEST(ControllerModelTest, HandHoldsTheOutputLevelAndReportsItsWorkMode)
{
    ControllerModel c(1, 5);
    ASSERT_TRUE(c.writeHolding(reg::OUTL, 400));   // 40.0 %
    ASSERT_TRUE(c.writeHolding(reg::RUN, reg::RUN_HAND));
    Advance(c, 900);
    EXPECT_EQ(Input(c, reg::OUT_IN), 400);
    EXPECT_EQ(Status(c) & 0x0F00, 0x0300);
    // Settled: 25 + 3.75 * 40.
    EXPECT_NEAR(c.processValue(), 175.0, 1.5);
}

TEST(ControllerModelTest, WorkModeFollowsRunAndAnErrorCodeHidesIt)
{
    ControllerModel c(1, 5);
    const std::pair<int, int> modes[] = {{17, 0}, {18, 1}, {19, 2}, {20, 3}, {21, 4}, {22, 5}, {23, 6}};
    for (auto [run, mode] : modes) {
        ASSERT_TRUE(c.writeHolding(reg::RUN, std::uint16_t(run)));
        c.step(Dt);
        EXPECT_EQ((Status(c) >> 8) & 0xF, mode) << "RUN " << run;
    }
    ASSERT_TRUE(c.writeHolding(reg::RUN, reg::RUN_ON));
    c.setErrorCode(1);   // input open
    Advance(c, 1);
    EXPECT_EQ(Status(c) & 0xF000, 0x1000);
    EXPECT_EQ(Input(c, reg::OUT_IN), 0);   // a module in error does not heat
}

TEST(ControllerModelTest, AlarmBitsFollowPvAcrossTheirSetPointsWithHysteresis)
{
    ControllerModel c(1, 9);
    ASSERT_TRUE(c.writeHolding(reg::A1FU, 1));     // A_HI
    ASSERT_TRUE(c.writeHolding(reg::A1SP, 600));   // 60.0
    ASSERT_TRUE(c.writeHolding(reg::A1HY, 50));    // 5.0
    ASSERT_TRUE(c.writeHolding(reg::A2FU, 2));     // A_LO
    ASSERT_TRUE(c.writeHolding(reg::A2SP, 400));   // 40.0
    ASSERT_TRUE(c.writeHolding(reg::A2HY, 0));
    c.step(Dt);
    EXPECT_EQ(Status(c) & 0x3, 0x2);   // cold: low alarm only

    // Heat up: the low alarm goes out above 40, the high one lights above 60.
    bool sawNone = false;
    while (c.processValue() < 61.0) {
        c.step(Dt);
        const bool between = c.processValue() > 41.0 && c.processValue() < 59.0;
        if (between) {
            EXPECT_EQ(Status(c) & 0x3, 0x0) << "PV " << c.processValue();
            sawNone = true;
        }
    }
    EXPECT_TRUE(sawNone);
    Advance(c, 1);
    EXPECT_EQ(Status(c) & 0x3, 0x1);
    EXPECT_GT(c.inputRegisters()[reg::ALM1_T - InputBase], 0);   // alarm time counts up

    // Cooling: lamp 1 stays lit down to 55 (hysteresis), then goes out.
    ASSERT_TRUE(c.writeHolding(reg::RUN, reg::RUN_OFF));
    while (c.processValue() > 56.0) {
        c.step(Dt);
        ASSERT_TRUE(Status(c) & 0x1) << "PV " << c.processValue();
    }
    while (c.processValue() > 54.0)
        c.step(Dt);
    Advance(c, 1);
    EXPECT_EQ(Status(c) & 0x1, 0);
    EXPECT_EQ(c.inputRegisters()[reg::ALM1_T - InputBase], 0);
}

TEST(ControllerModelTest, DeviationAlarmsFollowTheSetValue)
{
    ControllerModel c(1, 9);
    ASSERT_TRUE(c.writeHolding(reg::A1FU, 3));     // A_DIFH: PV > SV + 10
    ASSERT_TRUE(c.writeHolding(reg::A1SP, 100));
    ASSERT_TRUE(c.writeHolding(reg::A2FU, 4));     // A_DIFL: PV < SV - 10
    ASSERT_TRUE(c.writeHolding(reg::A2SP, 100));
    Advance(c, 1);
    EXPECT_EQ(Status(c) & 0x3, 0x2);   // 25 is far below 100 - 10
    Advance(c, 900);
    EXPECT_EQ(Status(c) & 0x3, 0x0);   // settled at SV
    ASSERT_TRUE(c.writeHolding(reg::SV, 500));   // SV drops to 50: PV is now 50 above it
    Advance(c, 1);
    EXPECT_EQ(Status(c) & 0x3, 0x1);
}

TEST(ControllerModelTest, ChoiceWritesOutsideTheirListAreRefused)
{
    ControllerModel c(1, 1);
    EXPECT_FALSE(c.writeHolding(reg::RUN, 16));
    EXPECT_FALSE(c.writeHolding(reg::RUN, 24));
    EXPECT_FALSE(c.writeHolding(reg::BAUD, 65));
    EXPECT_FALSE(c.writeHolding(reg::A1FU, 13));
    EXPECT_FALSE(c.writeHolding(reg::A1FU, 0xFFFF));
    EXPECT_FALSE(c.writeHolding(reg::SEGMENT1 + 3, 83));   // SF1
    EXPECT_EQ(c.holding(reg::RUN), reg::RUN_ON);
    EXPECT_EQ(c.holding(reg::BAUD), 64);
    EXPECT_TRUE(c.writeHolding(reg::RUN, 23));
    EXPECT_TRUE(c.writeHolding(reg::SEGMENT1 + 3, 72));
    // The ID register takes 1..255 only; 0 would leave the module unreachable.
    EXPECT_FALSE(c.writeHolding(reg::ID, 0));
    EXPECT_FALSE(c.writeHolding(reg::ID, 256));
    EXPECT_FALSE(c.writeHolding(reg::ID, 0xFFFF));
    EXPECT_TRUE(c.writeHolding(reg::ID, 255));
    // Other registers take any pattern.
    EXPECT_TRUE(c.writeHolding(reg::SV, 0xFFF1));   // -1.5
    EXPECT_EQ(c.holding(reg::SV), 0xFFF1);
}

TEST(ControllerModelTest, LinkSettingsTakeEffectOnlyWhenApplied)
{
    ControllerModel c(3, 1);
    ASSERT_TRUE(c.writeHolding(reg::ID, 9));
    ASSERT_TRUE(c.writeHolding(reg::BAUD, 62));
    EXPECT_EQ(c.answeringId(), 3);
    EXPECT_EQ(c.answeringBaud(), 19200);
    c.applyLinkSettings();
    EXPECT_EQ(c.answeringId(), 9);
    EXPECT_EQ(c.answeringBaud(), 4800);
}

TEST(ControllerModelTest, DecimalPointRescalesScaledRegistersAndLiveValues)
{
    ControllerModel c(1, 1);
    Advance(c, 600);
    const int pvOne = Input(c, reg::PV_IN);
    ASSERT_TRUE(c.writeHolding(reg::DP, 49));
    EXPECT_EQ(c.holding(reg::SV), 10000);     // 100.00
    EXPECT_EQ(c.holding(reg::A1SP), 15000);   // Scaled settings follow
    EXPECT_EQ(c.holding(reg::PB1), 300);      // Tenths do not
    EXPECT_EQ(c.holding(reg::RUN), reg::RUN_ON);
    c.step(Dt);
    EXPECT_EQ(Input(c, reg::SV_IN), 10000);
    EXPECT_NEAR(Input(c, reg::PV_IN), pvOne * 10, 150);
    // The load is untouched: still controlled to 100 degrees.
    Advance(c, 60);
    EXPECT_NEAR(c.processValue(), 100.0, 2.0);

    ASSERT_TRUE(c.writeHolding(reg::DP, 47));
    EXPECT_EQ(c.holding(reg::SV), 100);
    c.step(Dt);
    EXPECT_NEAR(Input(c, reg::PV_IN), 100, 2);

    // Three decimals cannot show 100.000 in 16 bits: refused, nothing changes.
    EXPECT_FALSE(c.writeHolding(reg::DP, 50));
    EXPECT_EQ(c.holding(reg::DP), 47);
    EXPECT_EQ(c.holding(reg::SV), 100);
    ASSERT_TRUE(c.writeHolding(reg::SV, 25));
    ASSERT_TRUE(c.writeHolding(reg::A1SP, 30));
    ASSERT_TRUE(c.writeHolding(reg::HILT, 30));
    ASSERT_TRUE(c.writeHolding(reg::SCAH, 30));
    ASSERT_TRUE(c.writeHolding(reg::A2SP, 20));
    for (int n = 0; n < 8; ++n)
        ASSERT_TRUE(c.writeHolding(reg::SEGMENT1 + 1 + 5 * n, 20));
    EXPECT_TRUE(c.writeHolding(reg::DP, 50));
    EXPECT_EQ(c.holding(reg::SV), 25000);
}

TEST(ControllerModelTest, LiveRegistersAreConsistentWithTheLoop)
{
    ControllerModel c(1, 11);
    Advance(c, 30);   // still heating
    const InputRegisters r = c.inputRegisters();
    auto at = [&r](int a) { return std::int16_t(r[std::size_t(a - InputBase)]); };
    EXPECT_EQ(at(4106), 1000);                          // SV0 in tenths
    EXPECT_NEAR(at(4107), at(reg::PV_IN), 1);           // PV0 is this PV
    EXPECT_EQ(at(4110), at(4106) - at(4107));           // Et0 = SV0 - PV0
    EXPECT_EQ(at(4113), 33);                            // Px: 100 / 30.0 = 3.3 % per degree
    EXPECT_EQ(at(4114), 60);                            // Ix seconds
    EXPECT_EQ(at(4121), 300);                           // Pband
    // Pout + Iout + Dout is the output unless it is pinned at a limit.
    const int sum = at(4118) + at(4119) + at(4120);
    EXPECT_NEAR(std::clamp(sum, 0, 1000), at(reg::OUT_IN), 3);
    // Timers are 32 bits, low half first: no program running, no alarm.
    EXPECT_EQ(r[reg::RAMP_T - InputBase], 0);
    EXPECT_EQ(r[reg::RAMP_T + 1 - InputBase], 0);
    // The converter count rises with the temperature.
    const int adWarm = at(reg::AD0);
    ControllerModel cold(1, 11);
    EXPECT_LT(std::int16_t(cold.inputRegisters()[reg::AD0 - InputBase]), adWarm);
}

TEST(ControllerModelTest, ProgramRampsThroughItsSegmentsAndEnds)
{
    ControllerModel c(1, 2);
    // Start at zero; segment 1: ramp to 80.0 in 60 s, soak 60 s, next; segment 2
    // ramp to 120.0 in 60 s, soak 120 s, next; segment 3 to 60.0 in 120 s, soak 60 s, end.
    ASSERT_TRUE(c.writeHolding(reg::START_AT, reg::START_AT_ZERO));
    ASSERT_TRUE(c.writeHolding(reg::RUN, reg::RUN_PROG));
    Advance(c, 30);
    EXPECT_NEAR(c.workingSetPoint(), 40.0, 0.5);
    EXPECT_EQ(Status(c) & 0x0F00, 0x0500);
    const InputRegisters r = c.inputRegisters();
    const std::uint32_t left = r[reg::RAMP_T - InputBase] | std::uint32_t(r[reg::RAMP_T + 1 - InputBase]) << 16;
    EXPECT_NEAR(left, 300, 2);   // 30 s of ramp left, in tenths
    Advance(c, 60);
    EXPECT_NEAR(c.workingSetPoint(), 80.0, 0.01);   // soaking
    Advance(c, 60);
    EXPECT_NEAR(c.workingSetPoint(), 100.0, 0.5);   // halfway up the second ramp

    // HOLD freezes the program where it is; PROG carries on from there.
    ASSERT_TRUE(c.writeHolding(reg::RUN, reg::RUN_HOLD));
    Advance(c, 100);
    EXPECT_NEAR(c.workingSetPoint(), 100.0, 0.5);
    EXPECT_EQ(Status(c) & 0x0F00, 0x0600);
    ASSERT_TRUE(c.writeHolding(reg::RUN, reg::RUN_PROG));
    Advance(c, 30);
    EXPECT_NEAR(c.workingSetPoint(), 120.0, 0.5);
    Advance(c, 120 + 120 + 60 + 100);
    EXPECT_NEAR(c.workingSetPoint(), 60.0, 0.01);   // ended, holding the last set point
}

TEST(ControllerModelTest, ProgramJumpsBackAsOftenAsItsJumpCountSays)
{
    ControllerModel c(1, 2);
    ASSERT_TRUE(c.writeHolding(reg::START_AT, reg::START_AT_ZERO));
    // Segment 1: 10 s ramp to 50, 10 s soak, "To RT1" twice, then segment 2:
    // 10 s to 70, 10 s soak, end.
    const int s1 = reg::SEGMENT1, s2 = reg::SEGMENT1 + 5;
    for (auto [a, v] : {std::pair{s1, 10}, {s1 + 1, 500}, {s1 + 2, 10}, {s1 + 3, 79}, {s1 + 4, 2},
                        {s2, 10}, {s2 + 1, 700}, {s2 + 2, 10}, {s2 + 3, reg::SF_END}})
        ASSERT_TRUE(c.writeHolding(a, std::uint16_t(v)));
    ASSERT_TRUE(c.writeHolding(reg::RUN, reg::RUN_PROG));
    Advance(c, 20 * 3 - 5);   // third pass of segment 1, soaking
    EXPECT_NEAR(c.workingSetPoint(), 50.0, 0.01);
    Advance(c, 10);           // segment 2 ramping: 50 -> 70
    EXPECT_NEAR(c.workingSetPoint(), 60.0, 0.5);
    Advance(c, 20);
    EXPECT_NEAR(c.workingSetPoint(), 70.0, 0.01);
}

TEST(ControllerModelTest, ABlinkingLampTurnsDarkAndLitInTurnsWhateverItsAlarmSays)
{
    ControllerModel c(1, 1);
    c.setErrorCode(5);
    c.setLampBlink(2, 0.3);
    std::vector<int> lamp2;
    for (int step = 0; step < 12; ++step) {
        lamp2.push_back((Status(c) >> 1) & 1);
        EXPECT_EQ(Status(c) & 1, 0) << step;    // lamp 1 follows its (switched off) alarm
        EXPECT_EQ(Status(c) >> 12, 5) << step;  // the error code stays
        c.step(Dt);
    }
    EXPECT_EQ(lamp2, (std::vector<int>{0, 0, 0, 1, 1, 1, 0, 0, 0, 1, 1, 1}));
    EXPECT_TRUE(c.alarm2() == bool((Status(c) >> 1) & 1));
    c.setLampBlink(2, 0);
    EXPECT_EQ(Status(c) & 3, 0);
}

} // namespace
} // namespace orbalis::sim
