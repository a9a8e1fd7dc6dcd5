#pragma once

#include <QColor>
#include <QString>

class QWidget;

namespace orbalis {

// The slot panel as the alarms see it: the main window's panel implements
// it, a test fakes it.
class AlarmPanel {
public:
    virtual ~AlarmPanel() = default;
    // The slot's picture, for the accessibility events of its description.
    virtual QWidget *alarmSlotWidget(int slot) const = 0;
    // A frame drawn around the slot, in the panel's gap and never into the
    // slot's picture; an invalid colour for none.
    virtual void showAlarmFrame(int slot, const QColor &colour) = 0;
    // Words that join the slot's accessible description ("Unacknowledged
    // alarms: Alarm 1, No reply."); empty for none.
    virtual void setAlarmNote(int slot, const QString &note) = 0;
};

} // namespace orbalis
