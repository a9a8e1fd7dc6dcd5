// The topics of a line and what is published on them: the live JSON from a
// reply's registers with the slot's decimal places and the banner's legends,
// the health and write results, and Home Assistant's discovery.

#include "mqtt/mqtt_payloads.h"
#include "mqtt/mqtt_topics.h"

#include "alarms/alarm_change.h"
#include "core/write_cycle.h"
#include "support/replies.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTimeZone>
#include <cmath>
#include <gtest/gtest.h>

using namespace orbalis;

namespace {

QJsonObject parsed(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument d = QJsonDocument::fromJson(json, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << json.constData();
    return d.object();
}

const QDateTime At = QDateTime(QDate(2026, 12, 10), QTime(14, 21, 17, 664), Qt::UTC);

TEST(MqttTopics, TopicsOfALineAndTheSetTopicsItTakes)
{
    const MqttTopics t(QStringLiteral("orbalis/plant-pc-COM1"));
    EXPECT_EQ(t.status(), "orbalis/plant-pc-COM1/status");
    EXPECT_EQ(t.live(5), "orbalis/plant-pc-COM1/5/live");
    EXPECT_EQ(t.availability(255), "orbalis/plant-pc-COM1/255/availability");
    EXPECT_EQ(t.health(1), "orbalis/plant-pc-COM1/1/health");
    EXPECT_EQ(t.alarm(3), "orbalis/plant-pc-COM1/3/alarm");
    EXPECT_EQ(t.alarm(0), "orbalis/plant-pc-COM1/alarm");   // the line's own
    EXPECT_EQ(t.result(7, QStringLiteral("SV")), "orbalis/plant-pc-COM1/7/set/SV/result");
    EXPECT_EQ(t.setFilter(), "orbalis/plant-pc-COM1/+/set/+");

    const struct {
        const char *topic;
        int id;   // 0: not a set topic of this line
        const char *mnemonic;
    } cases[] = {
        {"orbalis/plant-pc-COM1/5/set/SV", 5, "SV"},
        {"orbalis/plant-pc-COM1/255/set/RUN", 255, "RUN"},
        {"orbalis/plant-pc-COM1/5/set/SV/result", 0, ""},   // our own answer
        {"orbalis/plant-pc-COM1/05/set/SV", 0, ""},
        {"orbalis/plant-pc-COM1/0/set/SV", 0, ""},
        {"orbalis/plant-pc-COM1/256/set/SV", 0, ""},
        {"orbalis/plant-pc-COM1/+5/set/SV", 0, ""},
        {"orbalis/plant-pc-COM1/5/set/", 0, ""},
        {"orbalis/plant-pc-COM1/5/live", 0, ""},
        {"orbalis/plant-pc-COM2/5/set/SV", 0, ""},
        {"orbalis/plant-pc-COM1x/5/set/SV", 0, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.topic);
        const auto set = t.parseSet(QByteArray(c.topic));
        ASSERT_EQ(set.has_value(), c.id != 0);
        if (set) {
            EXPECT_EQ(set->id, c.id);
            EXPECT_EQ(set->mnemonic, QString::fromLatin1(c.mnemonic));
        }
    }
}

TEST(MqttPayloads, TheLiveMessageOfTheExampleIsTheReplysValues)
{
    const QByteArray reply = test::liveReply(1, {{4096, 989}, {4097, 1000}, {4098, 250}, {4099, 0x0302}});
    EXPECT_EQ(liveJson(At, 0, QStringLiteral("Oven1"), 1, reply, 48),
              R"({"time":"2026-12-10T14:21:17.664Z","slot":1,"name":"Oven1","id":1,"pv":98.9,"sv":100,"out":25,)"
              R"("state":"Hand","error":null,"al1":false,"al2":true})");
    // Any name reads back as it was.
    for (const QString &name : {QStringLiteral("炉 16"), QStringLiteral("a\"b\\c"), QStringLiteral("tab\there\n"),
                                QString(QChar(1)), QString()})
        EXPECT_EQ(parsed(liveJson(At, 0, name, 1, reply, 48))["name"].toString(), name) << name.toStdString();
    // The same instant in another zone is the same UTC time.
    const QDateTime taipei = At.toTimeZone(QTimeZone(QByteArrayLiteral("Asia/Taipei")));
    EXPECT_EQ(parsed(liveJson(taipei, 0, QString(), 1, reply, 48))["time"], "2026-12-10T14:21:17.664Z");
    EXPECT_TRUE(liveJson(At, 0, QString(), 1, reply.left(10), 48).isEmpty());
    // Each time as utcTimeText writes it, within a second, across one, before 1970.
    const QDateTime before1970 = QDateTime(QDate(1969, 12, 31), QTime(23, 59, 59, 5), Qt::UTC);
    for (const QDateTime &t : {At, At.addMSecs(1), At.addMSecs(335), At.addMSecs(336), At.addSecs(86400), before1970,
                               taipei.addMSecs(-664)})
        EXPECT_EQ(parsed(liveJson(t, 0, QString(), 1, reply, 48))["time"].toString(), utcTimeText(t))
            << utcTimeText(t).toStdString();
    EXPECT_EQ(utcTimeText(before1970), "1969-12-31T23:59:59.005Z");
}

TEST(MqttPayloads, ValuesCarryTheSlotsDecimalPlacesAndTheWordsTheSlotShows)
{
    const struct {
        std::uint16_t pv, sv, out, status;
        std::int32_t dpCode;
        double jsonPv, jsonSv, jsonOut;
        const char *state;   // nullptr: null
        const char *error;
        bool al1, al2;
    } cases[] = {
        {989, 1000, 250, 0x0302, 48, 98.9, 100.0, 25.0, "Hand", nullptr, false, true},
        {std::uint16_t(-5), 1000, 1000, 0x0103, 49, -0.05, 10.0, 100.0, "At1 SV", nullptr, true, true},
        {12345, 32768, 0, 0x0000, 50, 12.345, -32.768, 0.0, "Off", nullptr, false, false},
        {12345, 7, std::uint16_t(-5), 0x0601, 47, 12345, 7, -0.5, "Hold", nullptr, true, false},
        {250, 250, 0, 0x2105, 48, 25.0, 25.0, 0, "A/D Error", "A/D Error", false, false},
        {250, 250, 0, 0x1301, 48, 25.0, 25.0, 0, "Input Open", "Input Open", true, false},
        {250, 250, 0, 0x0700, 48, 25.0, 25.0, 0, nullptr, nullptr, false, false},
        {250, 250, 0, 0x9002, 48, 25.0, 25.0, 0, nullptr, nullptr, false, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("status %1, code %2").arg(c.status, 4, 16, QChar(u'0')).arg(c.dpCode).toStdString());
        const QByteArray reply = test::liveReply(3, {{4096, c.pv}, {4097, c.sv}, {4098, c.out}, {4099, c.status}});
        const QJsonObject o = parsed(liveJson(At, 15, QStringLiteral("炉 16"), 3, reply, c.dpCode));
        EXPECT_EQ(o["slot"].toInt(), 16);
        EXPECT_EQ(o["id"].toInt(), 3);
        EXPECT_EQ(o["name"].toString(), QStringLiteral("炉 16"));
        EXPECT_DOUBLE_EQ(o["pv"].toDouble(), c.jsonPv);
        EXPECT_DOUBLE_EQ(o["sv"].toDouble(), c.jsonSv);
        EXPECT_DOUBLE_EQ(o["out"].toDouble(), c.jsonOut);
        EXPECT_EQ(o["state"], c.state ? QJsonValue(QString::fromLatin1(c.state)) : QJsonValue());
        EXPECT_EQ(o["error"], c.error ? QJsonValue(QString::fromLatin1(c.error)) : QJsonValue());
        EXPECT_EQ(o["al1"].toBool(), c.al1);
        EXPECT_EQ(o["al2"].toBool(), c.al2);
    }
}

TEST(MqttPayloads, EveryRegisterValueIsWrittenAsJsonWritesItsDouble)
{
    const struct {
        int scaled, decimals;
        const char *text;
    } cases[] = {
        {100, 0, "100"},   {989, 1, "98.9"},       {1000, 1, "100"},  {-5, 2, "-0.05"},
        {-32768, 3, "-32.768"}, {0, 3, "0"}, {32767, 2, "327.67"}, {10, 3, "0.01"},
    };
    for (const auto &c : cases) {
        QByteArray text;
        appendScaledNumber(text, c.scaled, c.decimals);
        EXPECT_EQ(text, c.text) << c.scaled << " with " << c.decimals << " decimals";
    }
    // Each decimal-point setting over the whole signed register range, byte
    // for byte against the document model's shortest double.
    for (int decimals = 0; decimals <= 3; ++decimals) {
        const double scale = std::pow(10.0, decimals);
        int mismatches = 0;
        for (int scaled = -32768; scaled <= 32767; ++scaled) {
            QByteArray mine;
            appendScaledNumber(mine, scaled, decimals);
            const QByteArray model = QByteArray::number(double(scaled) / scale, 'g', QLocale::FloatingPointShortest);
            if (mine != model && ++mismatches <= 5)
                ADD_FAILURE() << scaled << " with " << decimals << " decimals: " << mine.constData() << " against "
                              << model.constData();
        }
        EXPECT_EQ(mismatches, 0) << decimals << " decimals";
    }
}

TEST(MqttPayloads, AlarmChangesCarryTheJournalsWordsAndNullsForWhatIsNotKnown)
{
    const qint64 ms = At.toMSecsSinceEpoch();
    AlarmChange activated;
    activated.timeMs = ms;
    activated.key = {0, 1, AlarmKind::Alarm2};
    activated.slotName = QStringLiteral(" Oven1 ");
    activated.to = AlarmState::ActiveUnacknowledged;
    activated.pv = QStringLiteral("98.9");
    activated.sv = QStringLiteral("100.0");
    activated.user = QStringLiteral("op");
    AlarmChange shelved = activated;
    shelved.key = {15, 255, AlarmKind::HighError};
    shelved.change = AlarmChangeKind::Shelved;
    shelved.from = AlarmState::ActiveUnacknowledged;
    shelved.to = AlarmState::ShelvedActive;
    shelved.pv = QStringLiteral("----");
    shelved.sv.clear();
    shelved.comment = QStringLiteral("sensor swapped");
    shelved.shelvedUntilMs = ms + 3600000;
    AlarmChange portLost;
    portLost.timeMs = ms;
    portLost.key = AlarmKey::line();
    portLost.change = AlarmChangeKind::Returned;
    portLost.from = AlarmState::ActiveAcknowledged;
    portLost.to = AlarmState::Normal;

    const struct {
        const char *what;
        AlarmChange change;
        const char *json;
    } cases[] = {
        {"a lamp lit", activated,
         R"({"alarm":"Alarm 2","change":"activated","comment":null,"from":"Normal","id":1,"name":"Oven1","pv":98.9,)"
         R"("shelved_until":null,"slot":1,"sv":100,"time":"2026-12-10T14:21:17.664Z","to":"Active, unacknowledged",)"
         R"("user":"op"})"},
        {"shelved with a comment, PV not a number", shelved,
         R"({"alarm":"High Error","change":"shelved","comment":"sensor swapped","from":"Active, unacknowledged",)"
         R"("id":255,"name":"Oven1","pv":null,"shelved_until":"2026-12-10T15:21:17.664Z","slot":16,"sv":null,)"
         R"("time":"2026-12-10T14:21:17.664Z","to":"Shelved, active","user":"op"})"},
        {"the line's port back", portLost,
         R"({"alarm":"Port lost","change":"returned","comment":null,"from":"Active, acknowledged","id":null,)"
         R"("name":null,"pv":null,"shelved_until":null,"slot":null,"sv":null,"time":"2026-12-10T14:21:17.664Z",)"
         R"("to":"Normal","user":null})"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        // Key order aside, the message is the change as the journal keeps it.
        EXPECT_EQ(parsed(alarmJson(c.change)), parsed(QByteArray(c.json)));
    }
}

TEST(MqttPayloads, HealthAndWriteResults)
{
    ControllerCounters c;
    c.sent = 1204;
    c.good = 1200;
    c.noAnswer = 3;
    c.crcErrors = 1;
    c.timedReplies = 2;
    c.replyLast = std::chrono::microseconds(46'400);
    c.replyWorst = std::chrono::microseconds(61'000);
    c.replySum = std::chrono::microseconds(92'000);
    const SteadyTime now{std::chrono::seconds(1000)};
    c.lastGoodPoll = now - std::chrono::milliseconds(400);
    c.recentPolls = 20;
    const QJsonObject h = parsed(healthJson(At, 5, c, now));
    EXPECT_EQ(h["id"].toInt(), 5);
    EXPECT_EQ(h["sent"].toInt(), 1204);
    EXPECT_EQ(h["good"].toInt(), 1200);
    EXPECT_EQ(h["no_answer"].toInt(), 3);
    EXPECT_EQ(h["crc_errors"].toInt(), 1);
    EXPECT_DOUBLE_EQ(h["answered_percent"].toDouble(), 99.7);
    EXPECT_DOUBLE_EQ(h["reply_ms_mean"].toDouble(), 46.0);
    EXPECT_DOUBLE_EQ(h["reply_ms_worst"].toDouble(), 61.0);
    EXPECT_DOUBLE_EQ(h["last_good_reply_s_ago"].toDouble(), 0.4);
    EXPECT_EQ(h["mark"].toString(), "green");
    EXPECT_EQ(h["time"].toString(), "2026-12-10T14:21:17.664Z");
    const QJsonObject never = parsed(healthJson(At, 5, ControllerCounters{}, now));
    EXPECT_TRUE(never["answered_percent"].isNull());
    EXPECT_TRUE(never["last_good_reply_s_ago"].isNull());
    EXPECT_EQ(never["mark"].toString(), "none");

    EXPECT_EQ(writeResultJson(At, {true, QStringLiteral("123.4"), {}}),
              R"({"ok":true,"time":"2026-12-10T14:21:17.664Z","value":"123.4"})");
    EXPECT_EQ(writeResultJson(At, {false, {}, QStringLiteral("Value out of range !")}),
              R"({"ok":false,"reason":"Value out of range !","time":"2026-12-10T14:21:17.664Z"})");
    EXPECT_EQ(writeResultJson(At, {true, {}, QStringLiteral("Read back: No Answer !")}),
              R"({"ok":true,"reason":"Read back: No Answer !","time":"2026-12-10T14:21:17.664Z","value":null})");
}

TEST(MqttPayloads, DiscoveryMakesOneDevicePerControllerWithFiveEntities)
{
    const MqttTopics t(QStringLiteral("orbalis/pc-COM1"));
    const QString node = discoveryNode(QStringLiteral("orbalis/pc-COM1"));
    EXPECT_EQ(node, "orbalis_pc-COM1");
    const auto messages = discoveryMessages(QStringLiteral("homeassistant"), node, t, 5, QStringLiteral("Oven5"));
    ASSERT_EQ(messages.size(), 5u);
    const struct {
        const char *topic;
        const char *name;
        const char *value;
    } expected[] = {
        {"homeassistant/sensor/orbalis_pc-COM1_5/pv/config", "PV", "{{ value_json.pv }}"},
        {"homeassistant/sensor/orbalis_pc-COM1_5/sv/config", "SV", "{{ value_json.sv }}"},
        {"homeassistant/sensor/orbalis_pc-COM1_5/out/config", "Output", "{{ value_json.out }}"},
        {"homeassistant/binary_sensor/orbalis_pc-COM1_5/al1/config", "Alarm 1",
         "{{ 'ON' if value_json.al1 else 'OFF' }}"},
        {"homeassistant/binary_sensor/orbalis_pc-COM1_5/al2/config", "Alarm 2",
         "{{ 'ON' if value_json.al2 else 'OFF' }}"},
    };
    QStringList uniqueIds;
    for (size_t i = 0; i < messages.size(); ++i) {
        SCOPED_TRACE(expected[i].topic);
        EXPECT_EQ(messages[i].topic, expected[i].topic);
        EXPECT_TRUE(messages[i].retain);
        const QJsonObject o = parsed(messages[i].payload);
        EXPECT_EQ(o["name"].toString(), QString::fromLatin1(expected[i].name));
        EXPECT_EQ(o["value_template"].toString(), QString::fromLatin1(expected[i].value));
        EXPECT_EQ(o["state_topic"].toString(), "orbalis/pc-COM1/5/live");
        EXPECT_EQ(o["device"].toObject()["identifiers"].toArray(), QJsonArray{"orbalis_pc-COM1_5"});
        EXPECT_EQ(o["device"].toObject()["name"].toString(), "Oven5 (ID 5)");
        EXPECT_EQ(o["availability"].toArray(),
                  (QJsonArray{QJsonObject{{"topic", "orbalis/pc-COM1/status"}},
                              QJsonObject{{"topic", "orbalis/pc-COM1/5/availability"}}}));
        EXPECT_EQ(o["availability_mode"].toString(), "all");
        uniqueIds << o["unique_id"].toString();
    }
    uniqueIds.removeDuplicates();
    EXPECT_EQ(uniqueIds.size(), 5);
    const auto removals = discoveryRemovals(QStringLiteral("homeassistant"), node, 5);
    ASSERT_EQ(removals.size(), 5u);
    for (size_t i = 0; i < removals.size(); ++i) {
        EXPECT_EQ(removals[i].topic, messages[i].topic);
        EXPECT_TRUE(removals[i].payload.isEmpty());
        EXPECT_TRUE(removals[i].retain);
    }
}

} // namespace
