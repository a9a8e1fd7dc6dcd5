// orbalis-gateway as a service runs it: over orbalis-sim and a mosquitto
// broker the test starts on a free loopback port. Each good live reply is
// published once with its values; a broker away for 10 s loses nothing and
// changes no poll's timing; a killed gateway is announced offline by the
// broker; writes reach the controller only for allowed mnemonics; TLS with
// certificates the test makes; one program per folder.

#include "gateway_fixture.h"

#include "support/tls_files.h"

#include <QRegularExpression>
#include <algorithm>
#include <numeric>

using namespace orbalis;
using namespace orbalis::test;

namespace {

using GatewayEndToEnd = GatewayOverSimulator;

// Milliseconds between consecutive requests sent within [from, to).
std::vector<double> requestGaps(const QList<LoggedFrame> &frames, const QDateTime &from, const QDateTime &to)
{
    std::vector<double> gaps;
    QDateTime last;
    for (const LoggedFrame &f : frames) {
        if (!f.request || f.at < from || f.at >= to)
            continue;
        if (last.isValid())
            gaps.push_back(double(last.msecsTo(f.at)));
        last = f.at;
    }
    return gaps;
}

double mean(const std::vector<double> &v)
{
    return v.empty() ? 0.0 : std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
}

TEST_F(GatewayEndToEnd, EachGoodLiveReplyIsPublishedOnceWithItsValues)
{
    // " 48": one decimal, written back as "48" when the gateway ends.
    writeSettings(3, QStringLiteral(" 48"));
    startBrokerAndSubscriber();
    writeMqtt();
    // Controller 2's input open: an alarm from its first reply on.
    startSimulator(QStringLiteral("1-3"), {QStringLiteral("--error"), QStringLiteral("2:1")});
    startGateway({QStringLiteral("--record"), QStringLiteral("1")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return liveMessages(3).size() >= 8; }, 15000)) << logLines().join(u'\n').toStdString();
    EXPECT_EQ(stopGateway(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return subscriber.on(topic("status")).size() == 2; }, 5000));
    sim.stop();

    // Every reply the simulator sent, once and in order; only the last one
    // may have come after the gateway stopped judging.
    const auto replies = liveRepliesIn(readTrafficLog(path("traffic.log")));
    int unpublished = 0;
    for (int id = 1; id <= 3; ++id) {
        SCOPED_TRACE(id);
        const QList<LiveValues> published = liveMessages(id);
        const QList<LiveValues> &sent = replies.at(id);
        ASSERT_GE(sent.size(), published.size());
        unpublished += int(sent.size() - published.size());
        for (qsizetype i = 0; i < published.size(); ++i)
            EXPECT_EQ(published[i], (LiveValues{id, sent[i].pv, sent[i].sv, sent[i].out, 0})) << "message " << i;
    }
    EXPECT_LE(unpublished, 1);

    // The line's own topics: online then offline, each controller available
    // while polled and not once the gateway ended.
    const auto status = subscriber.on(topic("status"));
    EXPECT_EQ(status[0].payload, "online");
    EXPECT_EQ(status[1].payload, "offline");
    for (const char *id : {"1", "2", "3"}) {
        const auto availability = subscriber.on(topic(QByteArray(id) + "/availability"));
        ASSERT_EQ(availability.size(), 2) << id;
        EXPECT_EQ(availability[0].payload, "online");
        EXPECT_EQ(availability[1].payload, "offline");
    }
    const QJsonObject first = QJsonDocument::fromJson(subscriber.on(topic("1/live")).value(0).payload).object();
    EXPECT_EQ(first["name"].toString(), "Oven1");
    EXPECT_EQ(first["slot"].toInt(), 1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$"))
                    .match(first["time"].toString())
                    .hasMatch())
        << first["time"].toString().toStdString();

    // The alarm, published as the journal beside keeps it.
    const auto alarms = subscriber.on(topic("2/alarm"));
    ASSERT_EQ(alarms.size(), 1);
    EXPECT_FALSE(alarms[0].retained);
    const QJsonObject alarm = QJsonDocument::fromJson(alarms[0].payload).object();
    EXPECT_EQ(alarm["alarm"].toString(), "Input Open");
    EXPECT_EQ(alarm["change"].toString(), "activated");
    EXPECT_EQ(alarm["to"].toString(), "Active, unacknowledged");
    EXPECT_EQ(alarm["id"].toInt(), 2);
    EXPECT_EQ(alarm["name"].toString(), "Oven2");
    EXPECT_TRUE(subscriber.on(topic("1/alarm")).isEmpty());
    EXPECT_TRUE(QFile::exists(path("Orbalis Journal.db")));

    // One log line per change, none per poll.
    QStringList lines = logLines();
    const QRegularExpression portLine(QStringLiteral("^port COM1 opened: ports/COM1 \\(linked to /dev/pts/\\d+\\)$"));
    EXPECT_EQ(lines.filter(portLine).size(), 1) << lines.join(u'\n').toStdString();
    lines.removeIf([&](const QString &l) { return portLine.match(l).hasMatch(); });
    lines.sort();
    QStringList expected{
        QStringLiteral("orbalis-gateway 0.1 on %1: port COM1 at 19200 baud, slots:IDs 1:1 2:2 3:3, recording slots 1")
            .arg(dir.path()),
        QStringLiteral("MQTT to 127.0.0.1:%1, topics test/line1/...").arg(broker.port()),
        broker1() + QStringLiteral(" connected"),
        QStringLiteral("controller 1 (slot 1, Oven1) answering"),
        QStringLiteral("controller 2 (slot 2, Oven2) answering"),
        QStringLiteral("controller 3 (slot 3, Oven3) answering"),
        QStringLiteral("stopping (SIGTERM)"),
        QStringLiteral("stopped"),
    };
    expected.sort();
    EXPECT_EQ(lines, expected);

    // Recorded as the console records: slot 1 only. Record 7 written at the end.
    const QDate today = QDate::currentDate();
    const QString day = today.toString(QStringLiteral("yyMMdd"));
    EXPECT_TRUE(QFile::exists(path(qPrintable(day + QStringLiteral(" 1.Csv")))));
    EXPECT_FALSE(QFile::exists(path(qPrintable(day + QStringLiteral(" 2.Csv")))));
    SettingsModel reread;
    SettingsFile file(dir.filePath(QStringLiteral("User Setting.ini")));
    file.open();
    Read_User_Setting(file, 7, reread);
    EXPECT_EQ(reread.panel.DecimalText[0], "48");
    EXPECT_EQ(reread.panel.DecimalText[3], "48");
    EXPECT_FALSE(QFile::exists(path("Orbalis.lock")));
}

TEST_F(GatewayEndToEnd, ABrokerAwayForTenSecondsLosesNothingAndChangesNoPollsTiming)
{
    writeSettings(2);
    startBrokerAndSubscriber();
    writeMqtt();
    startSimulator(QStringLiteral("1-2"));
    startGateway();
    ASSERT_TRUE(QTest::qWaitFor([&] { return liveMessages(2).size() >= 10; }, 15000));

    const QDateTime away = QDateTime::currentDateTime();
    broker.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return logLines().join(u'\n').contains(broker1() + QStringLiteral(" lost")); },
                                5000));
    QTest::qWait(10000);
    const QDateTime back = QDateTime::currentDateTime();
    ASSERT_TRUE(broker.start()) << broker.said().constData();
    // mosquitto_sub comes back and subscribes again by itself; the gateway's
    // next attempt is seconds away (it waits 1, 2, 4, 8 s between them).
    ASSERT_TRUE(QTest::qWaitFor([&] { return logLines().filter(broker1() + QStringLiteral(" connected")).size() == 2; },
                                20000))
        << logLines().join(u'\n').toStdString();
    const QDateTime reconnected = QDateTime::currentDateTime();
    QTest::qWait(1500);
    EXPECT_EQ(stopGateway(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !subscriber.on(topic("status")).isEmpty()
                                              && subscriber.on(topic("status")).last().payload == "offline"; },
                                5000));
    sim.stop();

    const QList<LoggedFrame> frames = readTrafficLog(path("traffic.log"));
    const auto replies = liveRepliesIn(frames);
    for (int id = 1; id <= 2; ++id) {
        SCOPED_TRACE(id);
        // A message whose receipt the broker took with it is sent again:
        // the same message twice in a row, never one missing or out of order.
        QList<QByteArray> times;
        QList<LiveValues> published;
        for (const ReceivedMessage &m : subscriber.on(topic(QByteArray::number(id) + "/live"))) {
            const QByteArray time = QJsonDocument::fromJson(m.payload).object()["time"].toString().toLatin1();
            if (!times.isEmpty() && times.last() == time)
                continue;
            times << time;
            published << liveValuesOf(m.payload);
        }
        const QList<LiveValues> &sent = replies.at(id);
        ASSERT_GE(sent.size(), published.size());
        EXPECT_LE(sent.size() - published.size(), 1);
        for (qsizetype i = 0; i < published.size(); ++i)
            ASSERT_EQ(published[i], (LiveValues{id, sent[i].pv, sent[i].sv, sent[i].out, 0})) << "message " << i;
        EXPECT_GE(published.size(), 80);   // 5 a second for some 18 s
    }

    // The same cadence while the broker was away as before.
    const std::vector<double> before = requestGaps(frames, away.addSecs(-4), away);
    const std::vector<double> during = requestGaps(frames, away, reconnected);
    ASSERT_GE(before.size(), 20u);
    ASSERT_GE(during.size(), 100u);
    EXPECT_NEAR(mean(during), mean(before), 0.1 * mean(before) + 2.0)
        << "before " << mean(before) << " ms, while away " << mean(during) << " ms";
    // A publisher that held the polling thread would leave a gap of seconds
    // (a connect attempt); a busy machine alone delays a tick far less.
    EXPECT_LT(*std::max_element(during.begin(), during.end()), 1000.0);
    Q_UNUSED(back);

    // Told once each: lost, still not there, back.
    const QStringList brokerLines = logLines().filter(broker1());
    ASSERT_EQ(brokerLines.size(), 4) << brokerLines.join(u'\n').toStdString();
    EXPECT_EQ(brokerLines[0], broker1() + QStringLiteral(" connected"));
    EXPECT_EQ(brokerLines[1], broker1() + QStringLiteral(" lost: the connection broke off"));
    EXPECT_EQ(brokerLines[2], broker1() + QStringLiteral(" not reachable: Connection refused"));
    EXPECT_EQ(brokerLines[3], broker1() + QStringLiteral(" connected"));
}

TEST_F(GatewayEndToEnd, AKilledGatewayIsAnnouncedOfflineAndItsLockIsTakenOver)
{
    writeSettings(1);
    startBrokerAndSubscriber();
    writeMqtt();
    startSimulator(QStringLiteral("1"));
    startGateway();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !subscriber.on(topic("1/live")).isEmpty(); }, 15000));
    ASSERT_EQ(subscriber.on(topic("status")).value(0).payload, "online");
    gateway.kill();   // SIGKILL: no clean end
    gateway.waitForFinished(5000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return subscriber.on(topic("status")).size() == 2; }, 10000));
    EXPECT_EQ(subscriber.on(topic("status")).value(1).payload, "offline");   // the Last Will

    // The lock file stayed behind; the next gateway takes it over.
    EXPECT_TRUE(QFile::exists(path("Orbalis.lock")));
    log.clear();
    startGateway();
    ASSERT_TRUE(QTest::qWaitFor([&] { return logSays(broker1() + QStringLiteral(" connected")); }, 10000))
        << logLines().join(u'\n').toStdString();
    EXPECT_EQ(stopGateway(), 0);
}

TEST_F(GatewayEndToEnd, AnAllowedWriteReachesTheControllerAndANotAllowedOneNothing)
{
    writeSettings(2);
    startBrokerAndSubscriber();
    writeMqtt("write_allow=SV\n");
    startSimulator(QStringLiteral("1-2"));

    const auto publish = [&](const char *leaf, const char *payload, bool retained = false) {
        QStringList args{QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                         QString::number(broker.port()), QStringLiteral("-q"), QStringLiteral("1"), QStringLiteral("-t"),
                         QString::fromUtf8(topic(leaf)), QStringLiteral("-m"), QString::fromUtf8(payload)};
        if (retained)
            args << QStringLiteral("-r");
        QProcess::execute(QStringLiteral("mosquitto_pub"), args);
    };
    const auto resultOf = [&](const char *leaf, qsizetype n) -> QJsonObject {
        const QByteArray t = topic(leaf) + "/result";
        if (!QTest::qWaitFor([&] { return subscriber.on(t).size() >= n; }, 10000))
            return {};
        return QJsonDocument::fromJson(subscriber.on(t).value(n - 1).payload).object();
    };

    // A command left retained on the broker comes at every connect: not taken.
    publish("2/set/SV", "77.7", true);
    startGateway();
    ASSERT_TRUE(QTest::qWaitFor([&] { return liveMessages(1).size() >= 2; }, 15000));
    std::map<QByteArray, qsizetype> answers;
    const QJsonObject stale = resultOf("2/set/SV", ++answers["2/set/SV"]);
    EXPECT_EQ(stale["reason"].toString(), "A retained set message is not taken: send it without retain");

    const struct {
        const char *what;
        const char *leaf;
        const char *payload;
        bool retained;
        bool ok;
        const char *valueOrReason;
    } cases[] = {
        {"SV allowed", "1/set/SV", "123.4", false, true, "123.4"},
        {"OUTL not allowed", "1/set/OUTL", "50", false, false, "OUTL may not be written: it is not in write_allow"},
        {"SV out of range", "2/set/SV", "99999", false, false, "Value out of range !"},
        {"a controller bound to no slot", "9/set/SV", "10", false, false, "Controller 9 is bound to no slot"},
        // Clearing the retained command sends an empty message: no value.
        {"an empty message", "2/set/SV", "", true, false, "An empty set message is no value"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        publish(c.leaf, c.payload, c.retained);
        const QJsonObject r = resultOf(c.leaf, ++answers[c.leaf]);
        ASSERT_FALSE(r.isEmpty()) << "no result";
        EXPECT_EQ(r["ok"].toBool(), c.ok);
        EXPECT_EQ(r[c.ok ? "value" : "reason"].toString(), QString::fromUtf8(c.valueOrReason));
    }
    // Polling went on, and the controller holds the written value.
    const qsizetype seen = liveMessages(1).size();
    ASSERT_TRUE(QTest::qWaitFor([&] { return liveMessages(1).size() >= seen + 2; }, 5000));
    EXPECT_EQ(liveMessages(1).last().sv, 1234);
    EXPECT_EQ(stopGateway(), 0);
    sim.stop();

    // On the line: the one write of SV to controller 1 and its read back;
    // nothing else was written.
    QList<QByteArray> writes;
    for (const LoggedFrame &f : readTrafficLog(path("traffic.log")))
        if (f.request && f.bytes[1] == 6)
            writes << f.bytes.left(6).toHex(' ');
    EXPECT_EQ(writes, QList<QByteArray>({"01 06 00 00 04 d2"}));
}

TEST_F(GatewayEndToEnd, TlsWithCertificatesTheTestMade)
{
    const QString tls = broker.folder();
    const QString made = makeTlsFiles(tls);
    ASSERT_TRUE(made.isEmpty()) << made.toStdString();
    broker.setListenerLines({QStringLiteral("cafile ") + tls + QStringLiteral("/ca.crt"),
                             QStringLiteral("certfile ") + tls + QStringLiteral("/server.crt"),
                             QStringLiteral("keyfile ") + tls + QStringLiteral("/server.key"),
                             QStringLiteral("require_certificate true")});
    publishOptions = {QStringLiteral("--cafile"), tls + QStringLiteral("/ca.crt"), QStringLiteral("--cert"),
                      tls + QStringLiteral("/client.crt"), QStringLiteral("--key"), tls + QStringLiteral("/client.key")};
    writeSettings(1);
    startBrokerAndSubscriber(publishOptions);
    writeMqtt(("ca_file=" + tls + "/ca.crt\ncert_file=" + tls + "/client.crt\nkey_file=" + tls + "/client.key\n").toUtf8());
    startSimulator(QStringLiteral("1"));
    startGateway();
    ASSERT_TRUE(QTest::qWaitFor([&] { return liveMessages(1).size() >= 3; }, 15000))
        << logLines().join(u'\n').toStdString();
    EXPECT_TRUE(logSays(broker1() + QStringLiteral(" (TLS) connected")));
    EXPECT_EQ(stopGateway(), 0);
}

TEST_F(GatewayEndToEnd, OneProgramPerFolderTheSecondRefusesAndSaysWhy)
{
    writeSettings(1);
    ASSERT_TRUE(writeFile(path("Orbalis.ini"), "[mqtt]\nenabled=false\n"));
    startGateway();
    ASSERT_TRUE(QTest::qWaitFor([&] { return logLines().join(u'\n').contains(QStringLiteral("MQTT is off")); }, 10000));

    const QString refusal = QStringLiteral("Another Orbalis console or gateway (%1, process %2 on %3) already uses the "
                                           "program folder %4. Two programs must never write its settings and record "
                                           "files at once: stop the other one first, or give this one a folder of its "
                                           "own.");
    QProcess second;
    second.start(gatewayProgram(), {QStringLiteral("--program-dir"), dir.path()});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(second.readAllStandardError())
                    .contains(refusal.arg(QStringLiteral("orbalis-gateway")).arg(gateway.processId())
                                  .arg(QSysInfo::machineHostName(), dir.path())));

    // The console, copied into the folder as its program folder, refuses too.
    const QString console = path("orbalis");
    ASSERT_TRUE(QFile::copy(QFileInfo(gatewayProgram()).dir().filePath(QStringLiteral("orbalis")), console));
    QProcess refused;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    refused.setProcessEnvironment(env);
    refused.start(console, {});
    QByteArray said;
    // Qt may warn first (no XDG_RUNTIME_DIR): wait for the refusal itself.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        said += refused.readAllStandardError();
        return said.contains("Another Orbalis");
    }, 10000)) << said.constData();
    QTest::qWait(100);
    said += refused.readAllStandardError();
    refused.kill();   // its message box waits for a click
    refused.waitForFinished(2000);
    EXPECT_TRUE(QString::fromUtf8(said).contains(refusal.arg(QStringLiteral("orbalis-gateway")).arg(gateway.processId())
                                                     .arg(QSysInfo::machineHostName(), dir.path())))
        << said.constData();
    EXPECT_EQ(stopGateway(), 0);

    // And while the console runs, the gateway refuses naming it.
    QProcess running;
    running.setProcessEnvironment(env);
    running.setProcessChannelMode(QProcess::ForwardedChannels);
    running.start(console, {});
    ASSERT_TRUE(running.waitForStarted(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(path("Orbalis.lock")); }, 10000));
    QProcess third;
    third.start(gatewayProgram(), {QStringLiteral("--program-dir"), dir.path()});
    ASSERT_TRUE(third.waitForFinished(10000));
    EXPECT_EQ(third.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(third.readAllStandardError())
                    .contains(refusal.arg(QStringLiteral("orbalis")).arg(running.processId())
                                  .arg(QSysInfo::machineHostName(), dir.path())));
    running.terminate();
    running.waitForFinished(5000);
}

} // namespace
