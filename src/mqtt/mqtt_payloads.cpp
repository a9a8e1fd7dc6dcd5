#include "mqtt_payloads.h"

#include "mqtt_topics.h"

#include "alarms/alarm_change.h"
#include "core/health_rules.h"
#include "core/write_cycle.h"
#include "model/banner_legend.h"
#include "model/status_word.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace orbalis {

namespace {

QByteArray compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

// utcTimeText's form, the text of the second kept from the last call on
// this thread: formatting a date is most of the cost of a live message.
void appendUtcTime(QByteArray &json, const QDateTime &time)
{
    thread_local qint64 second = std::numeric_limits<qint64>::min();
    thread_local QByteArray secondText;
    const qint64 ms = time.toMSecsSinceEpoch();
    const qint64 s = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    if (s != second) {
        secondText = QDateTime::fromSecsSinceEpoch(s, Qt::UTC).toString(Qt::ISODate).toLatin1();
        secondText.chop(1);   // the Z, which comes after the milliseconds
        second = s;
    }
    const int milli = int(ms - s * 1000);
    json += secondText;
    json += '.';
    json += char('0' + milli / 100);
    json += char('0' + milli / 10 % 10);
    json += char('0' + milli % 10);
    json += 'Z';
}

// A JSON string: quotes, backslashes and control characters escaped, the
// rest as UTF-8.
void appendJsonText(QByteArray &json, const QString &text)
{
    static const char Hex[] = "0123456789abcdef";
    json += '"';
    for (const char c : text.toUtf8()) {
        const auto u = std::uint8_t(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (u < 0x20) {
            json += "\\u00";
            json += Hex[u >> 4];
            json += Hex[u & 15];
        } else {
            json += c;
        }
    }
    json += '"';
}

void appendJsonTextOrNull(QByteArray &json, const QString &text)
{
    if (text.isEmpty())
        json += "null";
    else
        appendJsonText(json, text);
}

std::uint16_t word(const QByteArray &reply, int at)
{
    return std::uint16_t((std::uint8_t(reply[at]) << 8) | std::uint8_t(reply[at + 1]));
}

double milliseconds(std::chrono::microseconds t)
{
    return double(t.count() / 100) / 10.0;   // to a tenth of a millisecond
}

const char *markWord(HealthMark mark)
{
    switch (mark) {
    case HealthMark::None: break;
    case HealthMark::Green: return "green";
    case HealthMark::Amber: return "amber";
    case HealthMark::Red: return "red";
    }
    return "none";
}

struct Entity {
    const char *component;   // sensor, binary_sensor
    const char *key;         // the live JSON's key
    const char *name;
    const char *unit;
};

constexpr Entity Entities[] = {
    {"sensor", "pv", "PV", nullptr},
    {"sensor", "sv", "SV", nullptr},
    {"sensor", "out", "Output", "%"},
    {"binary_sensor", "al1", "Alarm 1", nullptr},
    {"binary_sensor", "al2", "Alarm 2", nullptr},
};

QByteArray configTopic(const QString &haPrefix, const Entity &e, const QString &device)
{
    return (haPrefix + u'/' + QLatin1String(e.component) + u'/' + device + u'/' + QLatin1String(e.key)
            + QStringLiteral("/config"))
        .toUtf8();
}

QString deviceOf(const QString &node, int id)
{
    return node + QStringLiteral("_") + QString::number(id);
}

} // namespace

QString utcTimeText(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

void appendScaledNumber(QByteArray &json, int scaled, int decimals)
{
    // scaled / 10^decimals divided as a double is the double nearest that
    // decimal, so its shortest text is the decimal itself without trailing
    // zeros: written from the integer, digit by digit.
    char digits[24];
    int n = 0;
    unsigned magnitude = scaled < 0 ? 0u - unsigned(scaled) : unsigned(scaled);
    bool fraction = false;   // a fraction digit other than 0 written
    for (int place = 0; magnitude != 0 || place <= decimals; ++place) {
        const char digit = char('0' + magnitude % 10);
        magnitude /= 10;
        if (place < decimals) {
            if (digit == '0' && !fraction)
                continue;
            fraction = true;
        } else if (place == decimals && fraction) {
            digits[n++] = '.';
        }
        digits[n++] = digit;
    }
    if (scaled < 0)
        json += '-';
    while (n > 0)
        json += digits[--n];
}

int decimalsOf(std::int32_t dpCode)
{
    switch (dpCode) {
    case 48: return 1;
    case 49: return 2;
    case 50: return 3;
    default: return 0;
    }
}

QByteArray liveJson(const QDateTime &time, int slot, const QString &name, int id, const QByteArray &reply,
                    std::int32_t dpCode)
{
    // Bytes 3 to 10: PV, SV, output, status word, high byte first.
    if (reply.size() < 11)
        return {};
    const int decimals = decimalsOf(dpCode);
    const std::uint16_t status = word(reply, 9);
    const std::uint8_t lamps = litAlarmLamps(status);
    // Written out by hand, in the order of the example, rather than through
    // QJsonObject: this runs on the polling thread for every reply, and the
    // document model costs several times as much.
    QByteArray json;
    json.reserve(200);
    json += "{\"time\":\"";
    appendUtcTime(json, time);
    json += "\",\"slot\":";
    json += QByteArray::number(slot + 1);
    json += ",\"name\":";
    appendJsonText(json, name);
    json += ",\"id\":";
    json += QByteArray::number(id);
    json += ",\"pv\":";
    appendScaledNumber(json, std::int16_t(word(reply, 3)), decimals);
    json += ",\"sv\":";
    appendScaledNumber(json, std::int16_t(word(reply, 5)), decimals);
    json += ",\"out\":";
    appendScaledNumber(json, std::int16_t(word(reply, 7)), 1);
    json += ",\"state\":";
    appendJsonTextOrNull(json, bannerLegend(status));
    json += ",\"error\":";
    appendJsonTextOrNull(json, errorLegend(shownErrorCode(status)));
    json += (lamps & Alarm1Lamp) ? ",\"al1\":true" : ",\"al1\":false";
    json += (lamps & Alarm2Lamp) ? ",\"al2\":true}" : ",\"al2\":false}";
    return json;
}

QByteArray alarmJson(const AlarmChange &change)
{
    const auto number = [](const QString &shown) {
        bool ok = false;
        const double value = shown.trimmed().toDouble(&ok);
        return ok ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
    };
    const QJsonValue none(QJsonValue::Null);
    const bool line = change.key.isLine();
    QJsonObject o;
    o.insert(QStringLiteral("time"), utcTimeText(QDateTime::fromMSecsSinceEpoch(change.timeMs, Qt::UTC)));
    o.insert(QStringLiteral("slot"), line ? none : QJsonValue(change.key.slot + 1));
    o.insert(QStringLiteral("name"), line ? none : QJsonValue(change.slotName.trimmed()));
    o.insert(QStringLiteral("id"), line ? none : QJsonValue(change.key.controllerId));
    o.insert(QStringLiteral("alarm"), alarmName(change.key.kind));
    o.insert(QStringLiteral("change"), changeWord(change.change));
    o.insert(QStringLiteral("from"), stateText(change.from));
    o.insert(QStringLiteral("to"), stateText(change.to));
    o.insert(QStringLiteral("pv"), number(change.pv));
    o.insert(QStringLiteral("sv"), number(change.sv));
    o.insert(QStringLiteral("comment"), textOrNull(change.comment));
    o.insert(QStringLiteral("user"), textOrNull(change.user));
    o.insert(QStringLiteral("shelved_until"),
             change.shelvedUntilMs
                 ? QJsonValue(utcTimeText(QDateTime::fromMSecsSinceEpoch(*change.shelvedUntilMs, Qt::UTC)))
                 : none);
    return compact(o);
}

QByteArray healthJson(const QDateTime &time, int id, const ControllerCounters &c, SteadyTime now)
{
    QJsonObject o;
    o.insert(QStringLiteral("time"), utcTimeText(time));
    o.insert(QStringLiteral("id"), id);
    o.insert(QStringLiteral("sent"), qint64(c.sent));
    o.insert(QStringLiteral("good"), qint64(c.good));
    o.insert(QStringLiteral("no_answer"), qint64(c.noAnswer));
    o.insert(QStringLiteral("crc_errors"), qint64(c.crcErrors));
    o.insert(QStringLiteral("wrong_replies"), qint64(c.wrongReplies));
    o.insert(QStringLiteral("exception_replies"), qint64(c.exceptionReplies));
    o.insert(QStringLiteral("not_judged"), qint64(c.notJudged));
    const std::uint64_t judged = c.judged();
    o.insert(QStringLiteral("answered_percent"),
             judged ? QJsonValue(std::round(1000.0 * double(c.good) / double(judged)) / 10.0) : QJsonValue());
    const auto mean = c.replyMean();
    o.insert(QStringLiteral("reply_ms_last"), mean ? QJsonValue(milliseconds(c.replyLast)) : QJsonValue());
    o.insert(QStringLiteral("reply_ms_mean"), mean ? QJsonValue(milliseconds(*mean)) : QJsonValue());
    o.insert(QStringLiteral("reply_ms_worst"), mean ? QJsonValue(milliseconds(c.replyWorst)) : QJsonValue());
    o.insert(QStringLiteral("last_good_reply_s_ago"),
             c.lastGoodPoll ? QJsonValue(double(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                    now - *c.lastGoodPoll)
                                                    .count())
                                         / 1000.0)
                            : QJsonValue());
    o.insert(QStringLiteral("failed_in_a_row"), c.failedInARow);
    o.insert(QStringLiteral("mark"), QLatin1String(markWord(healthMark(c))));
    return compact(o);
}

QByteArray writeResultJson(const QDateTime &time, const RemoteWriteResult &result)
{
    QJsonObject o;
    o.insert(QStringLiteral("time"), utcTimeText(time));
    o.insert(QStringLiteral("ok"), result.ok);
    if (result.ok)
        o.insert(QStringLiteral("value"), textOrNull(result.value));
    if (!result.reason.isEmpty())
        o.insert(QStringLiteral("reason"), result.reason);
    return compact(o);
}

QString discoveryNode(const QString &prefix)
{
    static const QRegularExpression unfit(QStringLiteral("[^A-Za-z0-9_-]+"));
    return QString(prefix).replace(unfit, QStringLiteral("_"));
}

std::vector<MqttMessage> discoveryMessages(const QString &haPrefix, const QString &node, const MqttTopics &topics,
                                           int id, const QString &name)
{
    const QString device = deviceOf(node, id);
    QJsonObject deviceInfo;
    deviceInfo.insert(QStringLiteral("identifiers"), QJsonArray{device});
    deviceInfo.insert(QStringLiteral("name"),
                      (name.isEmpty() ? QStringLiteral("Controller") : name) + QStringLiteral(" (ID ")
                          + QString::number(id) + u')');
    deviceInfo.insert(QStringLiteral("model"), QStringLiteral("PID process controller"));
    deviceInfo.insert(QStringLiteral("manufacturer"), QStringLiteral("Orbalis"));
    const QJsonArray availability{
        QJsonObject{{QStringLiteral("topic"), QString::fromUtf8(topics.status())}},
        QJsonObject{{QStringLiteral("topic"), QString::fromUtf8(topics.availability(id))}},
    };
    std::vector<MqttMessage> messages;
    for (const Entity &e : Entities) {
        const bool binary = QLatin1String(e.component) == QLatin1String("binary_sensor");
        QJsonObject config;
        config.insert(QStringLiteral("name"), QLatin1String(e.name));
        config.insert(QStringLiteral("unique_id"), device + u'_' + QLatin1String(e.key));
        config.insert(QStringLiteral("state_topic"), QString::fromUtf8(topics.live(id)));
        const QString key = QLatin1String(e.key);
        config.insert(QStringLiteral("value_template"),
                      binary ? QStringLiteral("{{ 'ON' if value_json.") + key + QStringLiteral(" else 'OFF' }}")
                             : QStringLiteral("{{ value_json.") + key + QStringLiteral(" }}"));
        if (binary)
            config.insert(QStringLiteral("device_class"), QStringLiteral("problem"));
        else
            config.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));
        if (e.unit)
            config.insert(QStringLiteral("unit_of_measurement"), QLatin1String(e.unit));
        config.insert(QStringLiteral("availability"), availability);
        config.insert(QStringLiteral("availability_mode"), QStringLiteral("all"));
        config.insert(QStringLiteral("device"), deviceInfo);
        messages.push_back({configTopic(haPrefix, e, device), compact(config), true});
    }
    return messages;
}

std::vector<MqttMessage> discoveryRemovals(const QString &haPrefix, const QString &node, int id)
{
    std::vector<MqttMessage> messages;
    for (const Entity &e : Entities)
        messages.push_back({configTopic(haPrefix, e, deviceOf(node, id)), QByteArray(), true});
    return messages;
}

} // namespace orbalis
