#include "alarm_test_support.h"

#include <gtest/gtest.h>

using namespace orbalis;
using namespace orbalis::test;

TEST(AlarmRates, ChatteringIsThreeActivationsWithinSixtySeconds)
{
    const AlarmKey key{0, 1, AlarmKind::Alarm1};
    const struct {
        std::vector<qint64> activations;
        qint64 now;
        bool chattering;
    } table[] = {
        {{0, 30'000}, 30'000, false},         {{0, 30'000, 59'999}, 59'999, true},
        {{0, 30'000, 59'999}, 60'000, false}, // the first left the window
        {{0, 30'000, 60'000}, 60'000, false}, {{0, 1, 2, 3}, 59'000, true},
        {{0, 10, 20}, 200'000, false},
    };
    for (const auto &c : table) {
        AlarmRates rates;
        for (qint64 t : c.activations)
            rates.activated(key, t, true);
        rates.update(c.now);
        EXPECT_EQ(rates.chattering(key), c.chattering) << c.now;
        EXPECT_EQ(rates.chatteringAlarms().size(), c.chattering ? 1u : 0u);
    }
}

TEST(AlarmRates, AFloodIsTenNewAlarmsWithinTenMinutes)
{
    const struct {
        int alarms;
        qint64 spacing;
        qint64 after; // time after the last activation
        bool flood;
    } table[] = {
        {9, 1000, 0, false},        {10, 1000, 0, true},        {10, 66'000, 0, true}, // 594 s from first to last
        {10, 67'000, 0, false},    // 603 s: the first left the window
        {12, 1000, 590'000, true}, // the first two left, ten remain
        {12, 1000, 591'000, false}, {10, 1000, 600'000, false},
    };
    for (const auto &c : table) {
        AlarmRates rates;
        qint64 t = 0;
        for (int i = 0; i < c.alarms; ++i, t += c.spacing)
            rates.activated({i % 16, 1 + i, AlarmKind::Alarm1}, t, true);
        rates.update(t - c.spacing + c.after);
        EXPECT_EQ(rates.flood(), c.flood) << c.alarms << " every " << c.spacing;
    }
}

TEST(AlarmRates, TheTrackerStatesChatteringAndFloodsByItsClockAndTellsWhenTheyChange)
{
    TrackedConsole t{{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}};
    const AlarmKey lamp = t.key(0, AlarmKind::Alarm1);
    for (int i = 0; i < 3; ++i) {
        t.pollStatus(0, 0x0001);
        t.wait(10'000);
        t.pollStatus(0, 0x0000);
        t.wait(10'000);
    }
    EXPECT_TRUE(t.tracker->rates().chattering(lamp));
    EXPECT_EQ(t.log.ratesChanges, 1);
    t.tracker->tick(); // 60 s after the first activation
    EXPECT_FALSE(t.tracker->rates().chattering(lamp));
    EXPECT_EQ(t.log.ratesChanges, 2);

    // Ten new alarms within ten minutes; a shelved one's activation does not count.
    t.wait(10 * 60'000);
    t.tracker->tick();
    EXPECT_EQ(t.tracker->rates().newAlarms(), 0);
    t.tracker->shelve(t.key(4, AlarmKind::Alarm2), std::chrono::minutes(60));
    t.pollStatus(4, 0x0002);
    for (int slot = 1; slot <= 3; ++slot)
        t.pollStatus(slot, 0x1003);
    EXPECT_EQ(t.tracker->rates().newAlarms(), 9);
    EXPECT_FALSE(t.tracker->rates().flood());
    t.pollStatus(0, 0x0001);
    EXPECT_TRUE(t.tracker->rates().flood());
    const int told = t.log.ratesChanges;
    t.wait(10 * 60'000);
    t.tracker->tick();
    EXPECT_FALSE(t.tracker->rates().flood());
    EXPECT_GT(t.log.ratesChanges, told);
}
