#pragma once

#include "mosquitto_handle.h"
#include "mqtt_buffer.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace orbalis {

// Takes the messages of a buffer to the broker on a thread of its own, so
// that nothing the broker does (answering slowly, not at all, refusing)
// reaches the thread that polls: that thread only adds to the buffer.
//
// After each connect it sends "online" (retained) on the Last Will's topic,
// then the standing messages, subscribes, and then sends what waits in the
// buffer, oldest first, with at most 20 messages unconfirmed. A lost
// connection puts the unconfirmed ones back in front of the buffer, and the
// next attempt comes after a delay that doubles from 1 s up to 60 s.
//
// One wake per batch: the thread that adds wakes the publisher only when
// no wake is pending, and the publisher then takes everything that waits
// in one go.
class MqttPublisher {
public:
    enum class State { Connecting, Connected, Waiting, Ended };
    struct Status {
        State state = State::Connecting;
        QString text;   // "connected to localhost:1883", "waiting for localhost:1883: Connection refused"
    };

    struct Hooks {
        // A change of the connection's state, told once as a sentence
        // ("broker localhost:1883 connected"); on the publisher's thread.
        std::function<void(const QString &sentence)> stateChanged;
        // A message on a subscribed topic; on the publisher's thread.
        std::function<void(const QByteArray &topic, const QByteArray &payload, bool retained)> received;
    };

    static constexpr int MaxUnconfirmed = 20;
    static constexpr std::chrono::seconds ConnectTimeout{10};

    // The buffer outlives the publisher. `connection.willTopic` is the
    // status topic: "offline" as the Last Will, "online" after each connect.
    MqttPublisher(MqttConnection connection, MqttBuffer &buffer, QList<QByteArray> subscriptions, Hooks hooks);
    // Without finish(): the connection is dropped and the broker sends the Last Will.
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher &) = delete;
    MqttPublisher &operator=(const MqttPublisher &) = delete;

    void start();
    // A retained message the broker must hold whatever happened to it: sent
    // after each connect, before the buffer, and now through the buffer. One
    // of the same topic kept before is replaced.
    void keepStanding(MqttMessage message);
    // The clean end: what waits goes out, then `last` (each confirmed), then
    // DISCONNECT, so the broker does not send the Last Will. Gives up after
    // `wait`, and at once when not connected.
    void finish(std::vector<MqttMessage> last, std::chrono::milliseconds wait);

    Status status() const;
    MqttBuffer &buffer() { return buffer_; }

    // The wait before attempt n + 1 after n failed attempts in a row: 1 s,
    // 2 s, 4 s ... up to 60 s.
    static std::chrono::seconds reconnectDelay(int failedAttempts);

private:
    using Clock = std::chrono::steady_clock;
    struct Unconfirmed {
        int mid;
        MqttMessage message;
    };

    void run();
    void attempt();
    void connacked(int code);
    void sendWaiting();
    bool publish(MqttMessage message);
    void lost(const QString &reason);
    void setStatus(State state, const QString &text, const QString &sentence);
    void wake();
    void wakeOnce();
    int waitMs() const;
    bool finishing() const;

    MqttConnection connection_;
    MqttBuffer &buffer_;
    QList<QByteArray> subscriptions_;
    Hooks hooks_;
    QString broker_;
    int wakeFd_ = -1;
    std::atomic<bool> wakePending_{false};   // written to wakeFd_, not yet taken
    std::thread thread_;

    // The publisher's thread only.
    MosquittoHandle handle_;
    State state_ = State::Waiting;
    std::deque<Unconfirmed> unconfirmed_;
    int failedAttempts_ = 0;
    Clock::time_point nextAttempt_{};
    Clock::time_point attemptStarted_{};
    QString refusal_;        // the broker's reason with its CONNACK
    QString lastSentence_;

    mutable std::mutex mutex_;   // what other threads hand over or read
    std::map<QByteArray, MqttMessage> standing_;
    Status status_;
    bool finishing_ = false;
    bool lastSent_ = false;
    std::vector<MqttMessage> last_;
    Clock::time_point deadline_{};
};

} // namespace orbalis
