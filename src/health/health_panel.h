#pragma once

#include <QColor>
#include <QString>

class QWidget;

namespace orbalis {

// The slot panel as the line's health sees it: the main window's panel
// implements it, a test fakes it.
class HealthPanel {
public:
    virtual ~HealthPanel() = default;
    // The slot's picture, for its tooltip and its accessible description.
    virtual QWidget *slotWidget(int slot) const = 0;
    // Whether the slot shows values of its controller (not blank cells).
    virtual bool showsValues(int slot) const = 0;
    // What the slot shows of its controller's values, in words ("PV 25.3,
    // SV 30.0, output 45.0 %, state Hand"); empty while it shows none.
    virtual QString shownValues(int slot) const = 0;
    // Words others add to the slot's description (its unacknowledged
    // alarms); empty for none.
    virtual QString furtherDescription(int /*slot*/) const { return {}; }
    // Drawn over the slot, never into its picture: the health mark (an
    // invalid colour for none) and, while its values are old, a short word.
    virtual void showHealth(int slot, const QColor &mark, const QString &oldValuesWord) = 0;
};

} // namespace orbalis
