#include "alarms/alarm_state.h"

#include <gtest/gtest.h>

using namespace orbalis;

namespace {

using S = AlarmState;
using E = AlarmEvent;
using C = AlarmChangeKind;
constexpr std::optional<C> None = std::nullopt;

struct Cell {
    S from;
    E event;
    S next;
    std::optional<C> change;
};

// Every event from every state: 6 states by 5 events.
const Cell Rule[] = {
    {S::Normal, E::Activate, S::ActiveUnacknowledged, C::Activated},
    {S::Normal, E::Return, S::Normal, None},
    {S::Normal, E::Acknowledge, S::Normal, None},
    {S::Normal, E::Shelve, S::ShelvedNormal, C::Shelved},
    {S::Normal, E::Unshelve, S::Normal, None},

    {S::ActiveUnacknowledged, E::Activate, S::ActiveUnacknowledged, None},
    {S::ActiveUnacknowledged, E::Return, S::ReturnedUnacknowledged, C::Returned},
    {S::ActiveUnacknowledged, E::Acknowledge, S::ActiveAcknowledged, C::Acknowledged},
    {S::ActiveUnacknowledged, E::Shelve, S::ShelvedActive, C::Shelved},
    {S::ActiveUnacknowledged, E::Unshelve, S::ActiveUnacknowledged, None},

    {S::ActiveAcknowledged, E::Activate, S::ActiveAcknowledged, None},
    {S::ActiveAcknowledged, E::Return, S::Normal, C::Returned},
    {S::ActiveAcknowledged, E::Acknowledge, S::ActiveAcknowledged, None},
    {S::ActiveAcknowledged, E::Shelve, S::ShelvedActive, C::Shelved},
    {S::ActiveAcknowledged, E::Unshelve, S::ActiveAcknowledged, None},

    {S::ReturnedUnacknowledged, E::Activate, S::ActiveUnacknowledged, C::Activated},
    {S::ReturnedUnacknowledged, E::Return, S::ReturnedUnacknowledged, None},
    {S::ReturnedUnacknowledged, E::Acknowledge, S::Normal, C::Acknowledged},
    {S::ReturnedUnacknowledged, E::Shelve, S::ShelvedNormal, C::Shelved},
    {S::ReturnedUnacknowledged, E::Unshelve, S::ReturnedUnacknowledged, None},

    {S::ShelvedNormal, E::Activate, S::ShelvedActive, C::Activated},
    {S::ShelvedNormal, E::Return, S::ShelvedNormal, None},
    {S::ShelvedNormal, E::Acknowledge, S::ShelvedNormal, None},
    {S::ShelvedNormal, E::Shelve, S::ShelvedNormal, C::Shelved},
    {S::ShelvedNormal, E::Unshelve, S::Normal, C::Unshelved},

    {S::ShelvedActive, E::Activate, S::ShelvedActive, None},
    {S::ShelvedActive, E::Return, S::ShelvedNormal, C::Returned},
    {S::ShelvedActive, E::Acknowledge, S::ShelvedActive, None},
    {S::ShelvedActive, E::Shelve, S::ShelvedActive, C::Shelved},
    {S::ShelvedActive, E::Unshelve, S::ActiveUnacknowledged, C::Unshelved},
};

} // namespace

TEST(AlarmState, EveryEventFromEveryStateFollowsTheRule)
{
    static_assert(std::size(Rule) == AlarmStateCount * AlarmEventCount);
    for (const Cell &cell : Rule) {
        const AlarmTransition t = alarmTransition(cell.from, cell.event);
        EXPECT_EQ(t.next, cell.next) << stateText(cell.from).toStdString() << " + event " << int(cell.event);
        EXPECT_EQ(t.change, cell.change) << stateText(cell.from).toStdString() << " + event " << int(cell.event);
    }
}

TEST(AlarmState, ARowIsWrittenExactlyWhenTheStateChangesOrTheShelvingIsRenewed)
{
    for (const Cell &cell : Rule) {
        const bool renewedShelving = cell.event == E::Shelve && cell.from == cell.next;
        EXPECT_EQ(cell.change.has_value(), cell.from != cell.next || renewedShelving)
            << stateText(cell.from).toStdString() << " + event " << int(cell.event);
    }
}

TEST(AlarmState, WhatTheWindowAndThePanelSeeOfEachState)
{
    struct Seen {
        S state;
        bool active, shelved, unacknowledged, current;
        const char *text;
    };
    const Seen table[] = {
        {S::Normal, false, false, false, false, "Normal"},
        {S::ActiveUnacknowledged, true, false, true, true, "Active, unacknowledged"},
        {S::ActiveAcknowledged, true, false, false, true, "Active, acknowledged"},
        {S::ReturnedUnacknowledged, false, false, true, true, "Returned, unacknowledged"},
        {S::ShelvedNormal, false, true, false, false, "Shelved, normal"},
        {S::ShelvedActive, true, true, false, false, "Shelved, active"},
    };
    for (const Seen &s : table) {
        EXPECT_EQ(isActive(s.state), s.active) << s.text;
        EXPECT_EQ(isShelved(s.state), s.shelved) << s.text;
        EXPECT_EQ(isUnacknowledged(s.state), s.unacknowledged) << s.text;
        EXPECT_EQ(isCurrent(s.state), s.current) << s.text;
        EXPECT_EQ(stateText(s.state), QString::fromLatin1(s.text));
    }
    for (C c : {C::Activated, C::Returned, C::Acknowledged, C::Shelved, C::Unshelved})
        EXPECT_EQ(changeFromWord(changeWord(c)), c);
    EXPECT_EQ(changeWord(C::Acknowledged), QStringLiteral("acknowledged"));
    EXPECT_FALSE(changeFromWord(QStringLiteral("Activated")).has_value());
}
