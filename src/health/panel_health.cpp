#include "panel_health.h"

#include "health_panel.h"

#include "state/console.h"

#include <QAccessibleWidget>
#include <QEvent>
#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

namespace orbalis {

namespace {

// Where a slot's picture finds what describes it.
const char *const DescribedBy = "orbalisPanelHealth";
const char *const SlotIndex = "orbalisSlot";

// A slot picture as a screen reader sees it: its name ("Slot 1") and a
// description worked out when it is read.
class SlotAccessible : public QAccessibleWidget {
public:
    explicit SlotAccessible(QWidget *w) : QAccessibleWidget(w, QAccessible::Graphic) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Description)
            if (const auto *health = qobject_cast<const PanelHealth *>(widget()->property(DescribedBy).value<QObject *>()))
                return health->description(widget()->property(SlotIndex).toInt());
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *slotAccessibleFactory(const QString &, QObject *object)
{
    if (object && object->isWidgetType() && object->property(SlotIndex).isValid())
        return new SlotAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

PanelHealth::PanelHealth(const Console &console, const LineCounters &counters, HealthPanel &panel,
                         QObject *parent)
    : QObject(parent), console_(console), counters_(counters), panel_(panel)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&slotAccessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    for (int k = 0; k < SlotCount; ++k) {
        QWidget *w = panel_.slotWidget(k);
        if (!w)
            continue;
        w->installEventFilter(this);
        w->setProperty(DescribedBy, QVariant::fromValue(static_cast<QObject *>(this)));
        w->setProperty(SlotIndex, k);
        // Naming the picture may have made it a plain interface already
        // (Qt makes one for every accessibility event); let the factory make
        // the next one.
        if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(w))
            if (!dynamic_cast<SlotAccessible *>(made))
                QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
    timer_.setInterval(RefreshMs);
    connect(&timer_, &QTimer::timeout, this, &PanelHealth::refresh);
    timer_.start();
}

PanelHealth::~PanelHealth()
{
    for (int k = 0; k < SlotCount; ++k)
        if (QWidget *w = panel_.slotWidget(k))
            w->setProperty(DescribedBy, QVariant());
}

QColor PanelHealth::markColour(HealthMark mark)
{
    switch (mark) {
    case HealthMark::None: break;
    case HealthMark::Green: return QColor(0, 170, 60);
    case HealthMark::Amber: return QColor(255, 176, 0);
    case HealthMark::Red: return QColor(220, 0, 0);
    }
    return {};
}

bool PanelHealth::portOpen() const
{
    return console_.line.portOpen();
}

std::uint8_t PanelHealth::idOf(int slot) const
{
    return isSlot(slot) ? console_.slots.SlotId[std::size_t(slot)] : 0;
}

HealthMark PanelHealth::mark(int slot) const
{
    const std::uint8_t id = idOf(slot);
    return id == 0 ? HealthMark::None : healthMark(counters_.of(id));
}

OldValues PanelHealth::old(int slot) const
{
    const std::uint8_t id = idOf(slot);
    // Only values on show can be old: a slot with blank cells claims nothing.
    if (id == 0 || !panel_.showsValues(slot))
        return OldValues::Fresh;
    return oldValues(counters_.of(id), counters_.now(), portOpen());
}

QString PanelHealth::tooltip(int slot) const
{
    const std::uint8_t id = idOf(slot);
    if (id == 0)
        return {};
    const ControllerCounters &c = counters_.of(id);
    const QString why = oldValuesSentence(c, counters_.now(), old(slot));
    const QString figures = healthFigures(id, c, counters_.now());
    return why.isEmpty() ? figures : why + u'\n' + figures;
}

QString PanelHealth::description(int slot) const
{
    const std::uint8_t id = idOf(slot);
    if (id == 0)
        return QStringLiteral("No controller.");
    QString text = QStringLiteral("Controller ID ") + QString::number(id) + QStringLiteral(", ")
        + console_.settings.panel.NameText[std::size_t(slot)].trimmed() + QStringLiteral(". ");
    const QString values = panel_.shownValues(slot);
    text += values.isEmpty() ? QStringLiteral("No values shown yet. ") : values + QStringLiteral(". ");
    text += QStringLiteral("Health: ") + healthWords(mark(slot)) + u'.';
    const QString why = oldValuesSentence(counters_.of(id), counters_.now(), old(slot));
    if (!why.isEmpty())
        text += u' ' + why;
    const QString further = panel_.furtherDescription(slot);
    if (!further.isEmpty())
        text += u' ' + further;
    return text;
}

void PanelHealth::refresh()
{
    for (int k = 0; k < SlotCount; ++k) {
        Shown now{markColour(mark(k)), oldValuesWord(old(k))};
        Shown &was = shown_[std::size_t(k)];
        if (now.mark == was.mark && now.word == was.word)
            continue;
        panel_.showHealth(k, now.mark, now.word);
        was = std::move(now);
    }
}

bool PanelHealth::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    for (int k = 0; k < SlotCount; ++k) {
        QWidget *w = panel_.slotWidget(k);
        if (w != watched)
            continue;
        const QString text = tooltip(k);
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text, w);
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace orbalis
