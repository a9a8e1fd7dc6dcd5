#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace orbalis {

// The topics of one line, all below its prefix P:
//   P/status                      online / offline (retained, also the Last Will)
//   P/<ID>/live                   one message per good live reply
//   P/<ID>/availability           online / offline (retained)
//   P/<ID>/health                 the line counters of the controller
//   P/<ID>/alarm                  each change of an alarm of the controller
//   P/alarm                       each change of the line's own alarm (port lost)
//   P/<ID>/set/<MNEMONIC>         a value to write
//   P/<ID>/set/<MNEMONIC>/result  how the write ended
// ID is the controller's bus address without leading zeros.
class MqttTopics {
public:
    explicit MqttTopics(const QString &prefix);

    const QByteArray &prefix() const { return prefix_; }
    QByteArray status() const;
    QByteArray live(int id) const;
    QByteArray availability(int id) const;
    QByteArray health(int id) const;
    // P/<ID>/alarm; P/alarm for id 0, the line.
    QByteArray alarm(int id) const;
    QByteArray set(int id, const QString &mnemonic) const;
    QByteArray result(int id, const QString &mnemonic) const;
    // What a line with writes subscribes to: every controller's set topics.
    QByteArray setFilter() const;

    struct SetTopic {
        int id;
        QString mnemonic;
    };
    // The controller and the mnemonic of a set topic of this prefix; none
    // for any other topic (its result topic included).
    std::optional<SetTopic> parseSet(const QByteArray &topic) const;

private:
    QByteArray ofController(int id, const char *leaf) const;

    QByteArray prefix_;
};

} // namespace orbalis
