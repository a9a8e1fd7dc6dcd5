#include "alarm_test_support.h"

#include "alarms/alarm_journal.h"

#include <gtest/gtest.h>

using namespace orbalis;
using namespace orbalis::test;

namespace {

using K = AlarmKind;
using S = AlarmState;
using C = AlarmChangeKind;

std::vector<K> activeKinds(const TrackedConsole &t, int slot)
{
    std::vector<K> out;
    for (K kind : AllAlarmKinds)
        if (kind != K::PortLost && isActive(t.tracker->state(t.key(slot, kind))))
            out.push_back(kind);
    return out;
}

std::vector<C> changesOf(const std::vector<AlarmChange> &changes)
{
    std::vector<C> out;
    for (const AlarmChange &c : changes)
        out.push_back(c.change);
    return out;
}

} // namespace

TEST(AlarmTracker, StatusWordsLightTheAlarmsThePanelPaints)
{
    struct Case {
        std::uint16_t status;
        std::vector<K> active;
    };
    const Case table[] = {
        {0x0000, {}},
        {0x0301, {K::Alarm1}},
        {0x0102, {K::Alarm2}},
        {0x0103, {K::Alarm1, K::Alarm2}},
        {0x0004, {}},          // 4..15 light no lamp
        {0x00F1, {K::Alarm1}}, // bits 4 to 7 are not used
        {0x1000, {K::InputOpen}},
        {0x2105, {K::AdError}}, // lamps dark with a low nibble of 5
        {0x3000, {K::EepromError}},
        {0x4002, {K::Alarm2, K::AutoTuneError}},
        {0x5000, {K::HighError}},
        {0x6003, {K::Alarm1, K::Alarm2, K::LowError}},
        {0x7000, {}}, // blank banner: no error shown
        {0x9001, {K::Alarm1}},
    };
    for (const Case &c : table) {
        TrackedConsole t{{2, 5}};
        t.pollStatus(2, c.status);
        EXPECT_EQ(activeKinds(t, 2), c.active) << std::hex << c.status;
        EXPECT_EQ(t.log.changes.size(), c.active.size()) << std::hex << c.status;
    }
}

TEST(AlarmTracker, ARowCarriesTheSlotTheValuesTheUserAndTheTime)
{
    TrackedConsole t{{2, 5}};
    t.pollStatus(2, 0x0301);
    t.wait(1500);
    t.pollStatus(2, 0x0300);
    t.wait(500);
    EXPECT_TRUE(t.tracker->acknowledge(t.key(2, K::Alarm1), QStringLiteral("seen, door was open")));
    const auto changes = t.taken();
    ASSERT_EQ(changesOf(changes), (std::vector<C>{C::Activated, C::Returned, C::Acknowledged}));

    const AlarmChange &on = changes[0];
    EXPECT_EQ(on.key, (AlarmKey{2, 5, K::Alarm1}));
    EXPECT_EQ(on.timeMs, QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC).toMSecsSinceEpoch());
    EXPECT_EQ(on.slotName, QStringLiteral("Oven3"));
    EXPECT_EQ(on.pv, QStringLiteral("25.3"));
    EXPECT_EQ(on.sv, QStringLiteral("30.0"));
    EXPECT_EQ(on.user, QStringLiteral("operator"));
    EXPECT_EQ(on.from, S::Normal);
    EXPECT_EQ(on.to, S::ActiveUnacknowledged);
    EXPECT_EQ(changes[1].timeMs - on.timeMs, 1500);
    EXPECT_EQ(changes[1].to, S::ReturnedUnacknowledged);
    EXPECT_EQ(changes[2].comment, QStringLiteral("seen, door was open"));
    EXPECT_EQ(changes[2].to, S::Normal);

    // The journal's row: slots counted from 1 as the panel names them.
    const QVariantList row = alarmEventValues(on);
    ASSERT_EQ(row.size(), qsizetype(alarmEventsTable().columns.size()));
    EXPECT_EQ(row[1].toInt(), 5);
    EXPECT_EQ(row[2].toInt(), 3);
    EXPECT_EQ(row[4].toString(), QStringLiteral("Alarm 1"));
    EXPECT_EQ(row[5].toString(), QStringLiteral("activated"));
    EXPECT_TRUE(row[8].isNull());  // no comment
    EXPECT_TRUE(row[10].isNull()); // not shelved
}

TEST(AlarmTracker, NoReplyFollowsTheHealthRuleOfFivePolls)
{
    TrackedConsole t{{0, 1}};
    t.pollStatus(0, 0x0300);
    t.silence(0, 4);
    EXPECT_EQ(t.tracker->state(t.key(0, K::NoReply)), S::Normal);
    t.silence(0, 1);
    EXPECT_EQ(t.tracker->state(t.key(0, K::NoReply)), S::ActiveUnacknowledged);
    // A CRC error or a wrong reply is no good reply either; nothing new.
    t.poll(0, statusReply(1, 0), LineOutcome::CrcError);
    t.pollStatus(0, 0x0300);
    EXPECT_EQ(t.tracker->state(t.key(0, K::NoReply)), S::ReturnedUnacknowledged);
    const auto changes = t.taken();
    ASSERT_EQ(changesOf(changes), (std::vector<C>{C::Activated, C::Returned}));
    // The values are the last ones the slot shows.
    EXPECT_EQ(changes[0].pv, QStringLiteral("25.3"));
}

TEST(AlarmTracker, PortLostOnceForTheLineWhileAPortIsNamedButNotOpen)
{
    TrackedConsole t{
        {0, 1},
    };
    t.port.setPortOpen(false);
    t.tracker->tick();
    t.tracker->tick();
    EXPECT_EQ(t.tracker->state(AlarmKey::line()), S::ActiveUnacknowledged);
    // "CLOSE" is the user's choice, not a loss.
    t.console.settings.serial.Port = QStringLiteral("CLOSE");
    t.tracker->tick();
    EXPECT_EQ(t.tracker->state(AlarmKey::line()), S::ReturnedUnacknowledged);
    t.console.settings.serial.Port = QStringLiteral("COM2");
    t.tracker->tick();
    t.port.setPortOpen(true);
    t.tracker->tick();
    const auto changes = t.taken();
    ASSERT_EQ(changesOf(changes), (std::vector<C>{C::Activated, C::Returned, C::Activated, C::Returned}));
    EXPECT_TRUE(changes[0].key.isLine());
    EXPECT_TRUE(changes[0].slotName.isEmpty());
    EXPECT_TRUE(changes[0].pv.isEmpty());
    const QVariantList row = alarmEventValues(changes[0]);
    EXPECT_TRUE(row[1].isNull() && row[2].isNull() && row[3].isNull());
    EXPECT_EQ(row[4].toString(), QStringLiteral("Port lost"));
}

TEST(AlarmTracker, ASlotBoundToAnotherControllerReturnsTheOldOnesAlarms)
{
    TrackedConsole t{{4, 7}};
    t.pollStatus(4, 0x1003);
    t.tracker->acknowledge({4, 7, K::Alarm2});
    t.taken();
    t.console.slots.SlotId[4] = 9;
    t.console.settings.panel.NameText[4] = QStringLiteral("Dryer");
    t.tracker->tick();
    const auto changes = t.taken();
    ASSERT_EQ(changes.size(), 3u);
    for (const AlarmChange &c : changes) {
        EXPECT_EQ(c.change, C::Returned);
        EXPECT_EQ(c.key.controllerId, 7);
        EXPECT_EQ(c.comment, AlarmTracker::slotRebound());
        EXPECT_EQ(c.slotName, QStringLiteral("Oven5")); // the name it had with controller 7
    }
    // Acknowledged ones are gone; the others wait for the operator, but the
    // slot itself now shows controller 9 and none of them.
    EXPECT_EQ(t.tracker->state({4, 7, K::Alarm2}), S::Normal);
    EXPECT_EQ(t.tracker->state({4, 7, K::Alarm1}), S::ReturnedUnacknowledged);
    EXPECT_TRUE(t.tracker->unacknowledged(4).empty());
    t.pollStatus(4, 0x0001);
    EXPECT_EQ(t.taken()[0].slotName, QStringLiteral("Dryer"));
}

TEST(AlarmTracker, ShelvedAlarmsAreJournaledButNeitherCurrentNorWaitingAndComeBackWhenTheTimeEnds)
{
    TrackedConsole t{{0, 1}, {1, 2}};
    t.pollStatus(0, 0x0001);
    const AlarmKey a1 = t.key(0, K::Alarm1);
    EXPECT_TRUE(t.tracker->shelve(a1, AlarmTracker::DefaultShelving, QStringLiteral("sensor being replaced")));
    EXPECT_TRUE(t.tracker->current().empty());
    EXPECT_FALSE(t.tracker->anyUnacknowledged());
    ASSERT_EQ(t.tracker->shelved().size(), 1u);
    EXPECT_EQ(*t.tracker->shelved()[0].shelvedUntilMs - t.tracker->nowMs(), 15 * 60 * 1000);

    t.wait(60'000);
    t.pollStatus(0, 0x0000); // returns while shelved
    t.pollStatus(0, 0x0001); // and comes again
    // Only the activation that was not shelved counts as a new alarm.
    EXPECT_EQ(t.tracker->rates().newAlarms(), 1);
    t.wait(14 * 60'000 - 1);
    t.tracker->tick();
    EXPECT_EQ(t.tracker->state(a1), S::ShelvedActive);
    t.wait(1);
    t.tracker->tick();
    EXPECT_EQ(t.tracker->state(a1), S::ActiveUnacknowledged);

    const auto changes = t.taken();
    ASSERT_EQ(changesOf(changes), (std::vector<C>{C::Activated, C::Shelved, C::Returned, C::Activated, C::Unshelved}));
    EXPECT_EQ(changes[1].comment, QStringLiteral("sensor being replaced"));
    EXPECT_EQ(alarmEventValues(changes[1])[10].toLongLong(), changes[1].timeMs + 15 * 60 * 1000);
    EXPECT_EQ(changes[4].comment, AlarmTracker::shelvingEndedComment());
}

TEST(AlarmTracker, ShelvingTimesAreHeldBetweenAMinuteAndEightHours)
{
    const struct {
        int asked, held;
    } table[] = {{0, 1}, {1, 1}, {15, 15}, {480, 480}, {481, 480}, {100000, 480}};
    for (const auto &c : table) {
        TrackedConsole t{{0, 1}};
        t.pollStatus(0, 0x0002);
        ASSERT_TRUE(t.tracker->shelve(t.key(0, K::Alarm2), std::chrono::minutes(c.asked)));
        EXPECT_EQ(*t.tracker->shelved()[0].shelvedUntilMs - t.tracker->nowMs(), qint64(c.held) * 60'000) << c.asked;
    }
}

TEST(AlarmTracker, UnshelvingByTheOperatorAndAcknowledgingAll)
{
    TrackedConsole t{{0, 1}, {1, 2}};
    t.pollStatus(0, 0x0003);
    t.wait(10);
    t.pollStatus(1, 0x5000);
    t.wait(10);
    t.pollStatus(0, 0x0001); // alarm 2 of slot 0 returns, unacknowledged
    ASSERT_TRUE(t.tracker->shelve(t.key(1, K::HighError), std::chrono::minutes(30)));
    // Newest first: alarm 2 returned last, then alarm 1.
    const auto current = t.tracker->current();
    ASSERT_EQ(current.size(), 2u);
    EXPECT_EQ(current[0].key.kind, K::Alarm2);
    EXPECT_EQ(current[1].key.kind, K::Alarm1);
    EXPECT_EQ(t.tracker->unacknowledged(0), (std::vector<K>{K::Alarm1, K::Alarm2}));
    t.taken();

    EXPECT_EQ(t.tracker->acknowledgeAll(QStringLiteral("shift start")), 2);
    EXPECT_EQ(t.tracker->acknowledgeAll(), 0);
    EXPECT_FALSE(t.tracker->acknowledge(t.key(0, K::Alarm1)));    // already
    EXPECT_FALSE(t.tracker->acknowledge(t.key(1, K::HighError))); // shelved
    EXPECT_TRUE(t.tracker->unshelve(t.key(1, K::HighError), QStringLiteral("fixed?")));
    EXPECT_FALSE(t.tracker->unshelve(t.key(1, K::HighError)));
    EXPECT_EQ(t.tracker->state(t.key(1, K::HighError)), S::ActiveUnacknowledged);
    EXPECT_TRUE(t.tracker->anyUnacknowledged());

    const auto changes = t.taken();
    ASSERT_EQ(changesOf(changes), (std::vector<C>{C::Acknowledged, C::Acknowledged, C::Unshelved}));
    EXPECT_EQ(changes[0].comment, QStringLiteral("shift start"));
    EXPECT_EQ(changes[2].comment, QStringLiteral("fixed?"));
    EXPECT_EQ(t.tracker->state(t.key(0, K::Alarm2)), S::Normal);
    EXPECT_EQ(t.tracker->state(t.key(0, K::Alarm1)), S::ActiveAcknowledged);
}

TEST(AlarmTracker, RepliesOfOtherExchangesAndPollsOfAGoneBindingChangeNothing)
{
    TrackedConsole t{{0, 1}};
    t.tracker->replyJudged(Exchange::ReadAll, 0, 1, statusReply(1, 0x0001), LineOutcome::Good);
    t.tracker->replyJudged(Exchange::Scan, -1, 1, statusReply(1, 0x0001), LineOutcome::Good);
    t.tracker->replyJudged(Exchange::Live, 0, 3, statusReply(3, 0x0001), LineOutcome::Good);
    t.tracker->replyJudged(Exchange::Live, 16, 1, statusReply(1, 0x0001), LineOutcome::Good);
    // A good reply too short to hold the status word.
    t.tracker->replyJudged(Exchange::Live, 0, 1, QByteArray("\x01\x04\x02\x00", 4), LineOutcome::Good);
    EXPECT_TRUE(t.log.changes.empty());
}
