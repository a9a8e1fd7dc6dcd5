#pragma once

#include "alarm_kind.h"
#include "alarm_state.h"

#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace orbalis {

// One change of state of one alarm: what the journal keeps as a row and what
// a publisher sends on.
struct AlarmChange {
    qint64 timeMs = 0; // UTC, milliseconds since 1970
    AlarmKey key;
    QString slotName; // the slot's name at that time; empty for the line
    AlarmChangeKind change = AlarmChangeKind::Activated;
    AlarmState from = AlarmState::Normal;
    AlarmState to = AlarmState::Normal;
    QString pv; // as the slot shows them ("25.3"); empty when not known
    QString sv;
    QString comment;                      // the operator's; empty for none
    QString user;                         // login name of the user of the console
    std::optional<qint64> shelvedUntilMs; // for Shelved: when the shelving ends
};

// Told of every change of every alarm, in the order they happen, on the
// thread of the polling cycle. Whoever keeps or sends alarms attaches here:
// the journal, the panel, the window, a publisher.
class AlarmObserver {
public:
    virtual ~AlarmObserver() = default;
    virtual void alarmChanged(const AlarmChange &change) = 0;
    // Chattering alarms or the alarm flood changed without a change of state.
    virtual void alarmRatesChanged() {}
};

} // namespace orbalis
