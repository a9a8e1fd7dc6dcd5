#include "panel_alarms.h"

#include "alarm_colours.h"
#include "alarm_panel.h"
#include "alarm_tracker.h"

#include "base/error_trap.h"
#include "settings/orbalis_ini.h"
#include "state/console.h"

#include <QAccessible>
#include <QStringList>
#include <QWidget>

namespace orbalis {

PanelAlarms::PanelAlarms(const Console &console, AlarmTracker &tracker, AlarmPanel &panel, Reporter &reporter,
                         QObject *parent)
    : QObject(parent), console_(console), tracker_(tracker), panel_(panel), reporter_(reporter)
{
    sound_ = OrbalisIni(console_.programDir).boolValue(soundKey(), true);
    blinkTimer_.setInterval(BlinkMs);
    connect(&blinkTimer_, &QTimer::timeout, this, &PanelAlarms::blink);
    beepTimer_.setInterval(BeepEveryMs);
    connect(&beepTimer_, &QTimer::timeout, this, &PanelAlarms::soundTick);
}

PanelAlarms::~PanelAlarms() = default;

void PanelAlarms::setSoundOn(bool on)
{
    sound_ = on;
    ErrorTrap trap(reporter_, QStringLiteral("setAlarmSound"));
    trap.step([&] { OrbalisIni(console_.programDir).setValue(soundKey(), on); });
}

QString PanelAlarms::slotNote(const std::vector<AlarmKind> &kinds)
{
    if (kinds.empty())
        return {};
    QStringList names;
    for (AlarmKind kind : kinds)
        names << alarmName(kind);
    return QStringLiteral("Unacknowledged alarm") + (kinds.size() > 1 ? QStringLiteral("s: ") : QStringLiteral(": "))
        + names.join(QStringLiteral(", ")) + u'.';
}

void PanelAlarms::alarmChanged(const AlarmChange &change)
{
    refresh();
    // A new alarm for the operator sounds at once; the reminders follow every 10 s.
    if (change.to == AlarmState::ActiveUnacknowledged && change.from != AlarmState::ActiveUnacknowledged) {
        beepNow();
        beepTimer_.start();
    }
}

void PanelAlarms::alarmRatesChanged()
{
    refresh();
}

void PanelAlarms::refresh()
{
    bool anyFrame = false;
    for (int k = 0; k < SlotCount; ++k) {
        const std::vector<AlarmKind> waiting = tracker_.unacknowledged(k);
        QColor colour;
        if (!waiting.empty()) {
            const int id = console_.slots.SlotId[std::size_t(k)];
            const bool active = std::any_of(waiting.begin(), waiting.end(), [&](AlarmKind kind) {
                return tracker_.state({k, id, kind}) == AlarmState::ActiveUnacknowledged;
            });
            colour = alarmStateColour(active ? AlarmState::ActiveUnacknowledged : AlarmState::ReturnedUnacknowledged);
        }
        anyFrame = anyFrame || colour.isValid();
        frames_[std::size_t(k)] = colour;
        const QString note = slotNote(waiting);
        if (note != notes_[std::size_t(k)]) {
            notes_[std::size_t(k)] = note;
            panel_.setAlarmNote(k, note);
            if (QWidget *w = panel_.alarmSlotWidget(k)) {
                QAccessibleEvent event(w, QAccessible::DescriptionChanged);
                QAccessible::updateAccessibility(&event);
            }
        }
    }
    if (anyFrame && !blinkTimer_.isActive()) {
        lit_ = true;
        blinkTimer_.start();
    } else if (!anyFrame) {
        blinkTimer_.stop();
    }
    showFrames();
    if (!tracker_.anyUnacknowledged())
        beepTimer_.stop();
    else if (!beepTimer_.isActive())
        beepTimer_.start();

    const QString summary = summaryText();
    if (summary != summary_) {
        summary_ = summary;
        Q_EMIT summaryChanged(summary_);
    }
}

void PanelAlarms::showFrames()
{
    for (int k = 0; k < SlotCount; ++k)
        panel_.showAlarmFrame(k, lit_ ? frames_[std::size_t(k)] : QColor());
}

void PanelAlarms::blink()
{
    lit_ = !lit_;
    showFrames();
}

void PanelAlarms::soundTick()
{
    if (tracker_.anyUnacknowledged())
        beepNow();
}

void PanelAlarms::beepNow()
{
    if (sound_)
        reporter_.beep();
}

QString PanelAlarms::summaryText() const
{
    const auto current = tracker_.current();
    int waiting = 0;
    for (const auto &alarm : current)
        waiting += isUnacknowledged(alarm.state) ? 1 : 0;
    QStringList parts;
    if (!current.empty()) {
        QString counts = QStringLiteral("Alarms: ");
        if (waiting > 0)
            counts += QString::number(waiting) + QStringLiteral(" unacknowledged, ");
        parts << counts + QString::number(current.size()) + QStringLiteral(" current");
    }
    if (tracker_.rates().flood())
        parts << QStringLiteral("Alarm flood");
    if (const auto n = tracker_.rates().chatteringAlarms().size())
        parts << QString::number(n) + QStringLiteral(" chattering");
    return parts.join(QStringLiteral(" · "));
}

} // namespace orbalis
