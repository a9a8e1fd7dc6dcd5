#pragma once

#include <QByteArray>

namespace orbalis {

// One message on its way to the broker.
struct MqttMessage {
    QByteArray topic;
    QByteArray payload;
    bool retain = false;
};

} // namespace orbalis
