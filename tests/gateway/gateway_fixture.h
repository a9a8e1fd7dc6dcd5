#pragma once

// A program folder with its settings, orbalis-sim on a pseudo-terminal as
// COM1 with a traffic log, a mosquitto broker of the test's own, a
// subscriber on every topic of the line, and orbalis-gateway as a child
// process whose log is kept.

#include "settings/settings_store.h"
#include "support/core_app.h"
#include "support/files.h"
#include "support/mqtt_broker.h"
#include "support/simulator.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <map>

namespace orbalis::test {

inline QString gatewayProgram()
{
    return QFileInfo(simulatorProgram()).dir().filePath(QStringLiteral("orbalis-gateway"));
}

// What a live reply in the traffic log says, as the live message should.
struct LiveValues {
    int id = 0;
    int pv = 0, sv = 0, out = 0, status = 0;
    bool operator==(const LiveValues &) const = default;
};

inline std::int16_t signedWord(const QByteArray &b, int at)
{
    return std::int16_t((std::uint8_t(b[at]) << 8) | std::uint8_t(b[at + 1]));
}

// The live replies the simulator sent, per controller, oldest first.
inline std::map<int, QList<LiveValues>> liveRepliesIn(const QList<LoggedFrame> &frames)
{
    std::map<int, QList<LiveValues>> replies;
    for (const LoggedFrame &f : frames)
        if (!f.request && f.bytes.size() == 65 && f.bytes[1] == 4)
            replies[std::uint8_t(f.bytes[0])]
                << LiveValues{std::uint8_t(f.bytes[0]), signedWord(f.bytes, 3), signedWord(f.bytes, 5),
                              signedWord(f.bytes, 7), std::uint16_t(signedWord(f.bytes, 9))};
    return replies;
}

// The same from a live message, at one decimal (the slots' code 48).
inline LiveValues liveValuesOf(const QByteArray &json)
{
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    const auto tenths = [&](const char *key) { return int(std::lround(o[QLatin1String(key)].toDouble() * 10)); };
    // The status word is not in the message; its words are checked elsewhere.
    return {o[QLatin1String("id")].toInt(), tenths("pv"), tenths("sv"), tenths("out"), 0};
}

class GatewayOverSimulator : public ::testing::Test {
protected:
    void SetUp() override
    {
        coreApp();
        if (!simulatorBuilt() || !QFileInfo(gatewayProgram()).isExecutable())
            GTEST_SKIP() << "orbalis-sim or orbalis-gateway is not built next to the tests";
        if (!mosquittoInstalled())
            GTEST_SKIP() << "mosquitto is not installed";
        ASSERT_TRUE(dir.isValid());
        prefix = QStringLiteral("test/line1");
    }

    void TearDown() override
    {
        stopGateway();
        subscriber.stop();
        sim.stop();
        broker.stop();
    }

    QString path(const char *name) const { return dir.filePath(QString::fromUtf8(name)); }

    // Slots 1.. bound to the controllers 1.., named Oven1..; one decimal.
    void writeSettings(int controllers, const QString &decimalText = QStringLiteral("48"))
    {
        SettingsModel model;
        model.serial = {QStringLiteral("COM1"), QStringLiteral("19200"), QStringLiteral("2"), QStringLiteral("8"),
                        QStringLiteral("None")};
        for (int k = 0; k < controllers; ++k) {
            model.panel.IdText[size_t(k)] = QStringLiteral("%1").arg(k + 1, 3, 10, QChar(u'0'));
            model.panel.NameText[size_t(k)] = QStringLiteral("Oven%1").arg(k + 1);
            model.panel.DecimalText[size_t(k)] = decimalText;
        }
        Fill_Default_Settings(model);
        saveSettingsRecords(dir.filePath(QStringLiteral("User Setting.ini")), {1, 2, 3, 4, 5, 6, 7}, model);
    }

    // [mqtt] enabled, to the test's broker, with these lines more.
    void writeMqtt(const QByteArray &more = {})
    {
        ASSERT_TRUE(writeFile(path("Orbalis.ini"), "[mqtt]\nenabled=true\nhost=127.0.0.1\nport="
                                                       + QByteArray::number(broker.port()) + "\nprefix="
                                                       + prefix.toUtf8() + "\nkeepalive=5\n" + more));
    }

    void startSimulator(const QString &ids, const QStringList &more = {})
    {
        ASSERT_TRUE(sim.start(dir.path(), 1,
                              QStringList{QStringLiteral("--ids"), ids, QStringLiteral("--log"), path("traffic.log")} + more))
            << sim.said().constData();
    }

    void startBrokerAndSubscriber(const QStringList &subscriberOptions = {})
    {
        ASSERT_TRUE(broker.start()) << broker.said().constData();
        ASSERT_TRUE(subscriber.start(broker.port(), {prefix + QStringLiteral("/#")}, subscriberOptions));
        // Subscribed once a message of the test's own comes back.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                QProcess::execute(QStringLiteral("mosquitto_pub"),
                                  QStringList{QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                                              QString::number(broker.port()), QStringLiteral("-t"),
                                              prefix + QStringLiteral("/probe"), QStringLiteral("-m"), QStringLiteral("x")}
                                      + publishOptions);
                return !subscriber.on(topic("probe")).isEmpty();
            },
            10000));
    }

    void startGateway(const QStringList &more = {})
    {
        gateway.setProgram(gatewayProgram());
        gateway.setArguments(QStringList{QStringLiteral("--program-dir"), dir.path()} + more);
        gateway.start();
        ASSERT_TRUE(gateway.waitForStarted(5000));
    }

    // SIGTERM, and the exit code.
    int stopGateway()
    {
        if (gateway.state() == QProcess::NotRunning)
            return gateway.exitCode();
        gateway.terminate();
        if (!gateway.waitForFinished(10000)) {
            gateway.kill();
            gateway.waitForFinished(2000);
            return -1;
        }
        return gateway.exitCode();
    }

    // The gateway's log lines without their time stamps.
    QStringList logLines()
    {
        log += gateway.readAllStandardError();
        QStringList lines;
        for (const QByteArray &l : log.split('\n'))
            if (!l.isEmpty())
                lines << QString::fromUtf8(l.size() > 20 && l[4] == '-' && l[19] == ' ' ? l.mid(20) : l);
        return lines;
    }

    bool logSays(const QString &line) { return logLines().contains(line); }

    QByteArray topic(const char *leaf) const { return (prefix + u'/' + QString::fromUtf8(leaf)).toUtf8(); }

    QList<LiveValues> liveMessages(int id)
    {
        QList<LiveValues> values;
        for (const ReceivedMessage &m : subscriber.on(topic(QByteArray::number(id) + "/live")))
            values << liveValuesOf(m.payload);
        return values;
    }

    QString broker1() const { return QStringLiteral("broker 127.0.0.1:%1").arg(broker.port()); }

    QTemporaryDir dir;
    QString prefix;
    SimulatedLine sim;
    MqttBroker broker;
    MqttSubscriber subscriber;
    QStringList publishOptions;   // for mosquitto_pub: TLS files
    QProcess gateway;
    QByteArray log;
};

} // namespace orbalis::test
