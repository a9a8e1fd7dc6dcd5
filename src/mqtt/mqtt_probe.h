#pragma once

#include "mosquitto_handle.h"

#include <QString>
#include <chrono>

namespace orbalis {

struct MqttProbeResult {
    bool connected = false;
    QString text;   // what happened, as one sentence for the user
};

// Connects once with these settings, as the publisher would, and says what
// happened: connected (and how long it took), refused (and why), or not
// reached. Blocks for at most `timeout`; call it off the user's thread.
MqttProbeResult probeMqttConnection(const MqttConnection &connection, std::chrono::milliseconds timeout);

} // namespace orbalis
