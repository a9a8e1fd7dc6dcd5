#include "mqtt_topics.h"

#include <QList>

namespace orbalis {

MqttTopics::MqttTopics(const QString &prefix) : prefix_(prefix.toUtf8()) {}

QByteArray MqttTopics::ofController(int id, const char *leaf) const
{
    return prefix_ + '/' + QByteArray::number(id) + '/' + leaf;
}

QByteArray MqttTopics::status() const
{
    return prefix_ + "/status";
}

QByteArray MqttTopics::live(int id) const
{
    return ofController(id, "live");
}

QByteArray MqttTopics::availability(int id) const
{
    return ofController(id, "availability");
}

QByteArray MqttTopics::health(int id) const
{
    return ofController(id, "health");
}

QByteArray MqttTopics::alarm(int id) const
{
    return id == 0 ? prefix_ + "/alarm" : ofController(id, "alarm");
}

QByteArray MqttTopics::set(int id, const QString &mnemonic) const
{
    return ofController(id, "set") + '/' + mnemonic.toUtf8();
}

QByteArray MqttTopics::result(int id, const QString &mnemonic) const
{
    return set(id, mnemonic) + "/result";
}

QByteArray MqttTopics::setFilter() const
{
    return prefix_ + "/+/set/+";
}

std::optional<MqttTopics::SetTopic> MqttTopics::parseSet(const QByteArray &topic) const
{
    if (!topic.startsWith(prefix_ + '/'))
        return std::nullopt;
    const QList<QByteArray> levels = topic.mid(prefix_.size() + 1).split('/');
    if (levels.size() != 3 || levels[1] != "set" || levels[2].isEmpty())
        return std::nullopt;
    // The ID as this line writes it: 1 to 255, no sign, no leading zero.
    bool ok = false;
    const int id = levels[0].toInt(&ok);
    if (!ok || id < 1 || id > 255 || QByteArray::number(id) != levels[0])
        return std::nullopt;
    return SetTopic{id, QString::fromUtf8(levels[2])};
}

} // namespace orbalis
