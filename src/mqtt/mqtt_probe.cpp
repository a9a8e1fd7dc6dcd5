#include "mqtt_probe.h"

#include <QElapsedTimer>

namespace orbalis {

MqttProbeResult probeMqttConnection(const MqttConnection &connection, std::chrono::milliseconds timeout)
{
    const QString broker = brokerName(connection.settings);
    MosquittoHandle handle;
    int connack = -1;
    MosquittoHandle::Events events;
    events.connack = [&](int code) { connack = code; };
    if (const QString problem = handle.setUp(connection, events); !problem.isEmpty())
        return {false, QStringLiteral("Not tried: ") + problem + u'.'};
    QElapsedTimer clock;
    clock.start();
    if (const QString problem = handle.connect(); !problem.isEmpty())
        return {false, QStringLiteral("Could not connect to ") + broker + QStringLiteral(": ") + problem + u'.'};
    while (connack < 0 && clock.elapsed() < timeout.count()) {
        const QString ended = handle.turn(-1, int(std::max<qint64>(1, std::min<qint64>(100, timeout.count() - clock.elapsed()))));
        if (connack > 0)
            break;
        if (!ended.isEmpty() && connack < 0)
            return {false, QStringLiteral("Could not connect to ") + broker + QStringLiteral(": ") + ended + u'.'};
    }
    if (connack < 0)
        return {false, QStringLiteral("No answer from %1 within %2 s.").arg(broker).arg(double(timeout.count()) / 1000.0)};
    if (connack > 0)
        return {false, broker + QStringLiteral(" refused the connection: ") + connackText(connack) + u'.'};
    const qint64 took = clock.elapsed();
    handle.disconnect();
    return {true, QStringLiteral("Connected to %1 in %2 ms%3.")
                      .arg(broker)
                      .arg(took)
                      .arg(connection.settings.username.isEmpty()
                               ? QString()
                               : QStringLiteral(" as ") + connection.settings.username)};
}

} // namespace orbalis
