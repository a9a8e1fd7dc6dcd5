#include "trend_windows.h"

#include "trend_window.h"

#include "state/console.h"

#include <QMenu>
#include <QMenuBar>

namespace orbalis {

TrendWindows::TrendWindows(Console &console, TrendHistories &histories, Reporter &reporter, QWidget *mainWindow)
    : console_(console), reporter_(reporter), mainWindow_(mainWindow), histories_(histories)
{
    histories_.onAppended([this](int slot) {
        if (TrendWindow *w = window(slot))
            w->liveSampleAdded();
    });
}

TrendWindows::~TrendWindows()
{
    histories_.onAppended({});
    // The windows read the histories: they go first.
    for (auto &w : windows_)
        delete w.data();
}

TrendWindow *TrendWindows::window(int slot) const
{
    if (!isSlot(slot))
        return nullptr;
    return windows_[std::size_t(slot)].data();
}

TrendWindow *TrendWindows::open(int slot)
{
    if (!isSlot(slot) || console_.slots.SlotId[std::size_t(slot)] == 0)
        return nullptr;
    auto &w = windows_[std::size_t(slot)];
    if (!w)
        w = new TrendWindow(console_, histories_, slot, reporter_, mainWindow_);
    else
        w->updateCaption();
    w->show();
    w->raise();
    w->activateWindow();
    return w.data();
}

QString TrendWindows::slotEntry(int slot, const QString &name, int controllerId)
{
    const QString shown = name.trimmed().isEmpty() ? QStringLiteral("Slot %1").arg(slot + 1) : name.trimmed();
    return QStringLiteral("%1 (ID %2)").arg(shown).arg(controllerId);
}

QMenu *TrendWindows::addViewMenu(QMenuBar &bar)
{
    QMenu *view = bar.addMenu(QStringLiteral("View"));
    QMenu *trend = view->addMenu(QStringLiteral("Trend"));
    // The bindings change with the panel settings: list them as they are now.
    connect(view, &QMenu::aboutToShow, this, [this, trend] { fillTrendMenu(*trend); });
    connect(trend, &QMenu::aboutToShow, this, [this, trend] { fillTrendMenu(*trend); });
    fillTrendMenu(*trend);
    return view;
}

void TrendWindows::fillTrendMenu(QMenu &menu)
{
    menu.clear();
    for (int k = 0; k < SlotCount; ++k) {
        const int id = console_.slots.SlotId[std::size_t(k)];
        if (id == 0)
            continue;
        menu.addAction(slotEntry(k, console_.settings.panel.NameText[std::size_t(k)], id), this,
                       [this, k] { open(k); });
    }
    if (menu.isEmpty())
        menu.addAction(QStringLiteral("No slot has a controller"))->setEnabled(false);
}

} // namespace orbalis
