#pragma once

#include "alarm_change.h"
#include "alarm_rates.h"

#include "settings/settings_model.h"
#include "state/line_observer.h"

#include <QObject>
#include <QTimer>
#include <array>
#include <chrono>
#include <map>
#include <optional>
#include <vector>

namespace orbalis {

struct Console;
class LineCounters;

// Follows every alarm of the bound slots and of the line, and tells its
// observers of each change of state. Its inputs are what the cycles report
// (a good live-value reply carries the lamps and the error code, as painted),
// the line's counters (the health rule for "no reply") and the port (lost
// while it is not open although the settings name one); the operator's
// acknowledgements and shelving come from the window. It never touches the
// line and never waits.
class AlarmTracker : public QObject, public LineObserver {
    Q_OBJECT
public:
    static constexpr int TickMs = 500;
    static constexpr std::chrono::minutes DefaultShelving{15};
    static constexpr std::chrono::minutes ShortestShelving{1};
    static constexpr std::chrono::minutes LongestShelving{8 * 60};

    // The counters must be told of each reply before this (they are added to
    // the line's observers first). The console's clock stamps the changes.
    AlarmTracker(const Console &console, const LineCounters &counters, QString user, QObject *parent = nullptr);
    ~AlarmTracker() override;

    // Looks at the port, the bindings, shelving times and the rates every
    // TickMs from now on.
    void start();
    // Stops looking: the console closes its port at the end, which is no loss.
    void stop() { timer_.stop(); }
    // What the timer runs; tests call it directly.
    void tick();

    void requestSent(Exchange, int, std::uint8_t, const QByteArray &) override {}
    void replyJudged(Exchange exchange, int slot, std::uint8_t id, const QByteArray &reply,
                     LineOutcome outcome) override;

    // The operator's actions, each with an optional comment; false (or 0)
    // when nothing changed.
    bool acknowledge(const AlarmKey &key, const QString &comment = {});
    // Every current alarm that is not acknowledged; how many were.
    int acknowledgeAll(const QString &comment = {});
    // Shelves for the given time, held between ShortestShelving and LongestShelving.
    bool shelve(const AlarmKey &key, std::chrono::minutes duration, const QString &comment = {});
    bool unshelve(const AlarmKey &key, const QString &comment = {});

    struct Alarm {
        AlarmKey key;
        QString slotName; // as the slot was named at its last change
        AlarmState state = AlarmState::Normal;
        qint64 sinceMs = 0; // it came or went (or was shelved from normal)
        std::optional<qint64> shelvedUntilMs;
    };
    // Not normal and not shelved, newest change first.
    std::vector<Alarm> current() const;
    // Shelved, the soonest to end first.
    std::vector<Alarm> shelved() const;
    AlarmState state(const AlarmKey &key) const;
    bool anyUnacknowledged() const;
    // The slot's alarms that wait for an acknowledgement (not shelved), of
    // the controller it shows now, in kind order.
    std::vector<AlarmKind> unacknowledged(int slot) const;

    const AlarmRates &rates() const { return rates_; }
    qint64 nowMs() const;

    // Observers are told in the order they were added.
    void addObserver(AlarmObserver *observer);
    void removeObserver(AlarmObserver *observer);

    // The texts the changes carry when the console, not the operator, acts.
    static QString shelvingEndedComment() { return QStringLiteral("Shelving time ended"); }
    static QString slotRebound() { return QStringLiteral("The slot no longer shows this controller"); }

private:
    struct Record {
        AlarmState state = AlarmState::Normal;
        QString slotName;
        qint64 sinceMs = 0;
        std::optional<qint64> shelvedUntilMs;
    };
    struct Binding {
        int controllerId = 0;
        QString name;
        // As last shown, kept raw and made text only for an alarm's change:
        // every reply brings them, few bring a change.
        struct Shown {
            std::int16_t pv = 0, sv = 0;
            std::int32_t dpCode = 0;
        };
        std::optional<Shown> shown; // none before the first good reply
    };

    // Runs one event on one alarm; true when its state changed.
    bool apply(const AlarmKey &key, AlarmEvent event, const QString &comment = {},
               std::optional<qint64> shelvedUntilMs = std::nullopt);
    void setCondition(const AlarmKey &key, bool active);
    void takeStatus(int slot, int id, const QByteArray &reply);
    void followBinding(int slot);
    void updateRates();
    QString slotName(int slot) const;

    const Console &console_;
    const LineCounters &counters_;
    const QString user_;
    QTimer timer_;
    std::map<AlarmKey, Record> alarms_; // only alarms that are not normal, or shelved
    std::array<Binding, SlotCount> bindings_{};
    AlarmRates rates_;
    std::vector<AlarmObserver *> observers_;
};

} // namespace orbalis
