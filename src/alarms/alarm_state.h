#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace orbalis {

// The states of one alarm. An alarm that is not shelved is in one of the four
// states operators know: normal; active and not acknowledged; active and
// acknowledged; returned to normal but not acknowledged yet. A shelved alarm
// is followed (active or not) but neither shown among the current alarms nor
// sounded.
enum class AlarmState : std::uint8_t {
    Normal,
    ActiveUnacknowledged,
    ActiveAcknowledged,
    ReturnedUnacknowledged,
    ShelvedNormal,
    ShelvedActive,
};
constexpr int AlarmStateCount = 6;

// What happens to an alarm: its condition comes or goes, or the operator acts.
enum class AlarmEvent : std::uint8_t {
    Activate, // the condition holds
    Return,   // the condition is gone
    Acknowledge,
    Shelve,   // also a new time for an alarm already shelved
    Unshelve, // by the operator, or the shelving time ended
};
constexpr int AlarmEventCount = 5;

// The change a journal row records.
enum class AlarmChangeKind : std::uint8_t {
    Activated,
    Returned,
    Acknowledged,
    Shelved,
    Unshelved,
};

struct AlarmTransition {
    AlarmState next;
    std::optional<AlarmChangeKind> change; // none: nothing happened, no row
};

// The one rule of every alarm:
//   Normal                  activate -> active unacknowledged (activated)
//   active unacknowledged   return -> returned unacknowledged (returned),
//                           acknowledge -> active acknowledged (acknowledged)
//   active acknowledged     return -> normal (returned)
//   returned unacknowledged activate -> active unacknowledged (activated),
//                           acknowledge -> normal (acknowledged)
//   shelve from any state   -> shelved, active or not (shelved)
//   while shelved           activate and return move between the two shelved
//                           states (activated, returned); acknowledge does nothing
//   unshelve                a shelved active alarm comes back unacknowledged,
//                           a shelved normal one normal (unshelved)
// Everything else changes nothing.
AlarmTransition alarmTransition(AlarmState state, AlarmEvent event);

bool isActive(AlarmState state);
bool isShelved(AlarmState state);
bool isUnacknowledged(AlarmState state);
// Shown among the current alarms: not normal and not shelved.
bool isCurrent(AlarmState state);

// "activated", "returned", "acknowledged", "shelved", "unshelved": the
// journal's words.
QString changeWord(AlarmChangeKind change);
std::optional<AlarmChangeKind> changeFromWord(const QString &word);
// "Active, unacknowledged", "Active, acknowledged", "Returned, unacknowledged",
// "Normal", "Shelved, normal", "Shelved, active".
QString stateText(AlarmState state);

} // namespace orbalis
