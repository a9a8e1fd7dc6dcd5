#pragma once

#include "core/trend_histories.h"

#include <QObject>
#include <QPointer>
#include <array>

class QMenu;
class QMenuBar;
class QWidget;

namespace orbalis {

struct Console;
class Reporter;
class TrendWindow;

// The trends of the console: the live history of every slot, kept from the
// start whether or not a window shows it, and at most one trend window per
// slot, opened from the "View" menu or by a double click on a slot's digits.
class TrendWindows : public QObject {
    Q_OBJECT
public:
    // Shows the core's live histories, which outlive this; the windows are
    // children of `mainWindow`.
    TrendWindows(Console &console, TrendHistories &histories, Reporter &reporter, QWidget *mainWindow);
    ~TrendWindows() override;

    const TrendHistories &histories() const { return histories_; }

    // Shows the slot's trend window, creating it on first use; nothing for a
    // slot without a controller.
    TrendWindow *open(int slot);
    // The slot's window while it is open.
    TrendWindow *window(int slot) const;

    // "View" with the submenu "Trend" of the bound slots (by name and ID),
    // filled anew each time it opens.
    QMenu *addViewMenu(QMenuBar &bar);
    // The entry of a slot in the submenu.
    static QString slotEntry(int slot, const QString &name, int controllerId);

private:
    void fillTrendMenu(QMenu &menu);

    Console &console_;
    Reporter &reporter_;
    QWidget *mainWindow_;
    TrendHistories &histories_;
    std::array<QPointer<TrendWindow>, SlotCount> windows_;
};

} // namespace orbalis
