#pragma once

#include "availability_watch.h"
#include "mqtt_buffer.h"
#include "mqtt_settings.h"
#include "mqtt_topics.h"

#include "alarms/alarm_change.h"
#include "state/line_observer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace orbalis {

struct Console;
class ConsoleCore;
class MqttPublisher;
struct RemoteWriteResult;

// The console's line on MQTT: every good live reply on P/<ID>/live, each
// controller's availability and health, writes that come on the set
// topics of the mnemonics allowed, and Home Assistant's discovery when
// asked for; and, as an observer of the alarm tracker, each change of an
// alarm. It lives on the thread that polls and only adds to a buffer
// there; the publisher's own thread talks to the broker.
class MqttBridge : public QObject, private LineObserver, public AlarmObserver {
    Q_OBJECT
public:
    static constexpr int AvailabilityMs = 500;
    static constexpr int HealthMs = 10000;
    // A write waits this long at most for the line to come free.
    static constexpr int WriteWaitMs = 10000;
    static constexpr std::chrono::milliseconds FinishWait{3000};

    // Both outlive the bridge.
    MqttBridge(Console &console, ConsoleCore &core, QObject *parent = nullptr);
    ~MqttBridge() override;

    // One sentence per change worth a log line: a bad setting, the broker
    // connected or lost. Called on either thread.
    void setLog(std::function<void(const QString &)> log);

    // Starts publishing with these settings (a running publisher ends
    // first); `problems` are the bad values read, told once. Does nothing
    // but stop when the settings are not enabled. What it told the log at
    // once: the problems, and a password file it does not use.
    QStringList start(const MqttSettings &settings, const QStringList &problems = {});
    // The clean end: what waits goes out, every controller offline, then
    // P/status offline and DISCONNECT; at most FinishWait.
    void stop();
    bool running() const { return publisher_ != nullptr; }

    // "off", "connected to localhost:1883", "waiting for ...".
    QString stateText() const;
    // "connected to localhost:1883 · 0 messages dropped · 0 waiting"; "off".
    QString summary() const;
    std::uint64_t dropped() const;
    std::size_t waiting() const;
    const MqttTopics &topics() const { return topics_; }
    const MqttSettings &settings() const { return settings_; }

    // P/<ID>/alarm (P/alarm for the line) while the publisher runs.
    void alarmChanged(const AlarmChange &change) override;

    // What the timers run; tests call them directly.
    void lookAtAvailability();
    void publishHealth();

private:
    struct PendingWrite {
        int slot;
        int address;
        int id;
        QString mnemonic;
        QString text;
        QElapsedTimer waited;
    };

    void requestSent(Exchange, int, std::uint8_t, const QByteArray &) override {}
    void replyJudged(Exchange exchange, int slot, std::uint8_t id, const QByteArray &reply,
                     LineOutcome outcome) override;

    void received(const QByteArray &topic, const QByteArray &payload, bool retained);
    void nextWrite();
    void publishResult(int id, const QString &mnemonic, const RemoteWriteResult &result);
    void publishDiscovery();
    int slotOf(int id) const;   // the first slot bound to the controller, -1 when none
    QString nameOf(int slot) const;
    void say(const QString &sentence) const;

    Console &console_;
    ConsoleCore &core_;
    MqttSettings settings_;
    MqttTopics topics_{QString()};
    QString node_;
    std::unique_ptr<MqttBuffer> buffer_;
    std::unique_ptr<MqttPublisher> publisher_;
    std::unique_ptr<AvailabilityWatch> availability_;
    std::array<bool, 256> discovered_{};
    std::array<QByteArray, 256> liveTopics_;
    QTimer availabilityTimer_;
    QTimer healthTimer_;
    QTimer writeTimer_;
    std::deque<PendingWrite> writes_;
    bool writing_ = false;
    mutable std::mutex logMutex_;
    std::function<void(const QString &)> log_;
};

} // namespace orbalis
