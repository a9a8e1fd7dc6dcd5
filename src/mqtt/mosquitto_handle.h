#pragma once

#include "mqtt_settings.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

struct mosquitto;
struct mosquitto_message;

namespace orbalis {

// What one connection to the broker needs beyond the settings.
struct MqttConnection {
    MqttSettings settings;
    QString clientId;
    std::optional<QByteArray> password;
    QByteArray willTopic;      // empty: no Last Will
    QByteArray willPayload;
};

// The broker's reason for refusing a connection ("not authorised").
QString connackText(int code);

// "localhost:1883", with " (TLS)" when the connection is encrypted.
QString brokerName(const MqttSettings &settings);

// libmosquitto's client, driven by whoever owns it from one thread (no
// thread of its own): connect, then turn() until the connection ends.
class MosquittoHandle {
public:
    struct Events {
        std::function<void(int code)> connack;       // the broker's answer to the connect (0: accepted)
        std::function<void(int mid)> published;      // a message the broker received (QoS 1, 2) or that went out (QoS 0)
        std::function<void(const mosquitto_message &message)> message;
    };

    MosquittoHandle();
    ~MosquittoHandle();
    MosquittoHandle(const MosquittoHandle &) = delete;
    MosquittoHandle &operator=(const MosquittoHandle &) = delete;

    // A fresh client, nothing of an earlier connection kept, set up for
    // `connection`: the Last Will, the login, TLS. Empty, or why it cannot
    // be used (a certificate file that cannot be read).
    QString setUp(const MqttConnection &connection, Events events);
    // Starts connecting; the CONNACK comes through turn(). Empty, or why
    // the attempt failed at once (no such host, connection refused).
    QString connect();
    // Waits up to `timeoutMs` for the network or for `wakeFd` (an eventfd,
    // or -1), then reads, writes and keeps the connection alive. Empty while
    // the connection lives, else why it ended.
    QString turn(int wakeFd, int timeoutMs);
    // Sends DISCONNECT: the broker does not send the Last Will.
    void disconnect();
    // Closes the connection without a word (the broker sends the Last Will)
    // and forgets everything of it.
    void drop();

    bool hasSocket() const;
    mosquitto *get() const { return mosq_; }

    // The text of a libmosquitto result, with the system's reason where it
    // is one and what the library logged (OpenSSL's words) where it is TLS.
    QString errorText(int rc) const;

private:
    static void onConnect(mosquitto *, void *self, int code);
    static void onPublish(mosquitto *, void *self, int mid);
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message);
    static void onLog(mosquitto *, void *self, int level, const char *text);

    mosquitto *mosq_ = nullptr;
    Events events_;
    QString host_;
    int port_ = 0;
    int keepalive_ = 30;
    QString libraryError_;   // the last error the library logged
};

} // namespace orbalis
