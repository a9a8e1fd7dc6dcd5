#pragma once

#include "alarm_change.h"

#include "settings/settings_model.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <vector>

namespace orbalis {

struct Console;
class AlarmPanel;
class AlarmTracker;
class Reporter;

// What the operator sees and hears of the alarms outside their window: a
// blinking frame around every slot with an alarm that waits for an
// acknowledgement (red while one is active, blue when all have returned),
// its alarms in the slot's accessible description, a beep every 10 s while
// any alarm waits (switchable, kept in Orbalis.ini as [alarms] sound), and a
// one-line summary for the status bar.
class PanelAlarms : public QObject, public AlarmObserver {
    Q_OBJECT
public:
    static constexpr int BlinkMs = 500;
    static constexpr int BeepEveryMs = 10'000;

    // Reads the sound setting from the console's program folder. The owner
    // adds it to the tracker's observers.
    PanelAlarms(const Console &console, AlarmTracker &tracker, AlarmPanel &panel, Reporter &reporter,
                QObject *parent = nullptr);
    ~PanelAlarms() override;

    static QString soundKey() { return QStringLiteral("alarms/sound"); }
    bool soundOn() const { return sound_; }
    // Switches the sound and keeps the choice in Orbalis.ini; a file that
    // cannot be written is reported through the trap, and the choice holds
    // for this run.
    void setSoundOn(bool on);

    void alarmChanged(const AlarmChange &change) override;
    void alarmRatesChanged() override;

    // Works out the frames, the notes and the summary again (also what the
    // changes call).
    void refresh();
    // One step of the blinking and one of the beeping; the timers call them,
    // tests too.
    void blink();
    void soundTick();

    // The slot's frame colour (whether lit at the moment or not); invalid for none.
    QColor frame(int slot) const { return frames_[std::size_t(slot)]; }
    QString note(int slot) const { return notes_[std::size_t(slot)]; }
    // "Alarms: 2 unacknowledged, 3 current · Alarm flood · 1 chattering";
    // empty while there is nothing to say.
    const QString &summary() const { return summary_; }
    // "Unacknowledged alarms: Alarm 1, No reply."; empty for none.
    static QString slotNote(const std::vector<AlarmKind> &kinds);

Q_SIGNALS:
    void summaryChanged(const QString &summary);

private:
    void showFrames();
    void beepNow();
    QString summaryText() const;

    const Console &console_;
    AlarmTracker &tracker_;
    AlarmPanel &panel_;
    Reporter &reporter_;
    bool sound_ = true;
    bool lit_ = true;
    QTimer blinkTimer_;
    QTimer beepTimer_;
    std::array<QColor, SlotCount> frames_{};
    std::array<QString, SlotCount> notes_{};
    QString summary_;
};

} // namespace orbalis
