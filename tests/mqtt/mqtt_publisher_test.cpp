// The publisher and the connection test against a real mosquitto broker on
// a free loopback port: what waits while the broker is away goes out in
// order once it comes (the oldest beyond the buffer dropped and counted),
// each change of the connection is told once, the clean end says offline;
// and "Test" tells a refused, a denied, a good and an encrypted connection.

#include "mqtt/mqtt_probe.h"
#include "mqtt/mqtt_publisher.h"

#include "support/core_app.h"
#include "support/mqtt_broker.h"
#include "support/tls_files.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QTest>
#include <gtest/gtest.h>

using namespace orbalis;
using namespace std::chrono;

namespace {

MqttConnection connectionTo(int port)
{
    MqttConnection c;
    c.settings.host = QStringLiteral("127.0.0.1");
    c.settings.port = port;
    c.settings.keepalive = 5;
    c.clientId = QStringLiteral("publisher-test");
    c.willTopic = "line/status";
    c.willPayload = "offline";
    return c;
}

TEST(MqttPublisher, WhatWaitsWhileTheBrokerIsAwayGoesOutInOrderWhenItComes)
{
    test::coreApp();
    if (!test::mosquittoInstalled())
        GTEST_SKIP() << "mosquitto is not installed";
    test::MqttBroker broker;   // not started yet
    MqttBuffer buffer(5);
    QMutex mutex;
    QStringList said;
    MqttPublisher::Hooks hooks;
    hooks.stateChanged = [&](const QString &sentence) {
        QMutexLocker lock(&mutex);
        said << sentence;
    };
    MqttPublisher publisher(connectionTo(broker.port()), buffer, {}, hooks);
    publisher.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return publisher.status().text.endsWith(QStringLiteral("next try in 1 s")); },
                                5000))
        << publisher.status().text.toStdString();
    for (int i = 1; i <= 8; ++i)
        buffer.push({"line/1/live", QByteArray::number(i), false});
    EXPECT_EQ(buffer.dropped(), 3u);
    // The second attempt fails too; the third comes 2 s after it, time
    // enough for the broker and a subscriber to be there.
    ASSERT_TRUE(QTest::qWaitFor([&] { return publisher.status().text.endsWith(QStringLiteral("next try in 2 s")); },
                                5000))
        << publisher.status().text.toStdString();
    ASSERT_TRUE(broker.start()) << broker.said().constData();
    test::MqttSubscriber subscriber;
    ASSERT_TRUE(subscriber.start(broker.port(), {QStringLiteral("line/#")}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return subscriber.on("line/1/live").size() == 5; }, 10000))
        << subscriber.messages().size() << " messages";
    QStringList live;
    for (const auto &m : subscriber.on("line/1/live"))
        live << QString::fromLatin1(m.payload);
    EXPECT_EQ(live, QStringList({"4", "5", "6", "7", "8"}));
    EXPECT_EQ(subscriber.on("line/status").value(0).payload, "online");
    EXPECT_EQ(publisher.status().state, MqttPublisher::State::Connected);

    publisher.finish({{"line/status", "offline", true}}, seconds(3));
    ASSERT_TRUE(QTest::qWaitFor([&] { return subscriber.on("line/status").size() == 2; }, 5000));
    EXPECT_EQ(subscriber.on("line/status").value(1).payload, "offline");
    QTest::qWait(300);   // a Last Will would come now
    EXPECT_EQ(subscriber.on("line/status").size(), 2);
    QMutexLocker lock(&mutex);
    const QString broker1 = QStringLiteral("broker 127.0.0.1:%1").arg(broker.port());
    EXPECT_EQ(said, QStringList({broker1 + QStringLiteral(" not reachable: Connection refused"),
                                 broker1 + QStringLiteral(" connected")}));
}

TEST(MqttPublisher, MessagesAddedOneByOneOrInBurstsGoOutOnceInOrderAndAreAllConfirmed)
{
    test::coreApp();
    if (!test::mosquittoInstalled())
        GTEST_SKIP() << "mosquitto is not installed";
    const struct {
        const char *what;
        int bursts, perBurst, pauseMs;
    } cases[] = {
        {"one at a time, each finding the publisher asleep", 30, 1, 15},
        {"bursts within the window of unconfirmed messages", 6, 10, 15},
        {"a burst beyond that window", 1, 3 * MqttPublisher::MaxUnconfirmed + 5, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        test::MqttBroker broker;
        ASSERT_TRUE(broker.start()) << broker.said().constData();
        test::MqttSubscriber subscriber;
        ASSERT_TRUE(subscriber.start(broker.port(), {QStringLiteral("line/#")}));
        MqttBuffer buffer(1000);
        MqttPublisher publisher(connectionTo(broker.port()), buffer, {}, {});
        publisher.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return publisher.status().state == MqttPublisher::State::Connected; }, 5000));
        QStringList sent;
        for (int b = 0; b < c.bursts; ++b) {
            for (int i = 0; i < c.perBurst; ++i) {
                sent << QString::number(sent.size() + 1);
                buffer.push({"line/1/live", sent.last().toLatin1(), false});
            }
            QTest::qWait(c.pauseMs);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return subscriber.on("line/1/live").size() >= sent.size(); }, 10000))
            << subscriber.on("line/1/live").size() << " of " << sent.size();
        QTest::qWait(100);   // a message sent twice would come now
        QStringList got;
        for (const auto &m : subscriber.on("line/1/live"))
            got << QString::fromLatin1(m.payload);
        EXPECT_EQ(got, sent);
        EXPECT_EQ(buffer.size(), 0u);
        // The clean end goes out only once every receipt is in.
        QElapsedTimer took;
        took.start();
        publisher.finish({{"line/status", "offline", true}}, seconds(3));
        EXPECT_LT(took.elapsed(), 2000);
        ASSERT_TRUE(QTest::qWaitFor([&] { return subscriber.on("line/status").size() == 2; }, 5000));
        EXPECT_EQ(subscriber.on("line/status").value(1).payload, "offline");
    }
}

TEST(MqttProbe, TestSaysWhatHappened)
{
    test::coreApp();
    if (!test::mosquittoInstalled())
        GTEST_SKIP() << "mosquitto is not installed";
    test::MqttBroker open;
    ASSERT_TRUE(open.start());
    test::MqttBroker guarded;
    ASSERT_TRUE(guarded.requireLogin(QStringLiteral("operator"), QStringLiteral("s3cret")));
    ASSERT_TRUE(guarded.start());
    test::MqttBroker encrypted;
    const QString tls = encrypted.folder();
    const QString made = test::makeTlsFiles(tls);
    ASSERT_TRUE(made.isEmpty()) << made.toStdString();
    encrypted.setListenerLines({QStringLiteral("cafile ") + tls + QStringLiteral("/ca.crt"),
                                QStringLiteral("certfile ") + tls + QStringLiteral("/server.crt"),
                                QStringLiteral("keyfile ") + tls + QStringLiteral("/server.key")});
    ASSERT_TRUE(encrypted.start()) << encrypted.said().constData();
    const int nobody = test::freeLoopbackPort();

    const struct {
        const char *what;
        int port;
        std::function<void(MqttConnection &)> adjust;
        bool connected;
        QString text;   // a regular expression
    } cases[] = {
        {"nobody listens", nobody, [](MqttConnection &) {}, false,
         QStringLiteral("Could not connect to 127.0.0.1:%1: Connection refused\\.").arg(nobody)},
        {"an open broker", open.port(), [](MqttConnection &) {}, true,
         QStringLiteral("Connected to 127.0.0.1:%1 in \\d+ ms\\.").arg(open.port())},
        {"no login", guarded.port(), [](MqttConnection &) {}, false,
         QStringLiteral("127.0.0.1:%1 refused the connection: not authorised\\.").arg(guarded.port())},
        {"the wrong password", guarded.port(),
         [](MqttConnection &c) {
             c.settings.username = QStringLiteral("operator");
             c.password = "guess";
         },
         false, QStringLiteral("127.0.0.1:%1 refused the connection: not authorised\\.").arg(guarded.port())},
        {"the right password", guarded.port(),
         [](MqttConnection &c) {
             c.settings.username = QStringLiteral("operator");
             c.password = "s3cret";
         },
         true, QStringLiteral("Connected to 127.0.0.1:%1 in \\d+ ms as operator\\.").arg(guarded.port())},
        {"TLS with the broker's authority", encrypted.port(),
         [&](MqttConnection &c) { c.settings.caFile = tls + QStringLiteral("/ca.crt"); }, true,
         QStringLiteral("Connected to 127.0.0.1:%1 \\(TLS\\) in \\d+ ms\\.").arg(encrypted.port())},
        {"TLS with another authority", encrypted.port(),
         [&](MqttConnection &c) { c.settings.caFile = tls + QStringLiteral("/client.crt"); }, false,
         QStringLiteral("Could not connect to 127.0.0.1:%1 \\(TLS\\): .*certificate verify failed.*").arg(encrypted.port())},
        {"a CA file that is not there", encrypted.port(),
         [&](MqttConnection &c) { c.settings.caFile = tls + QStringLiteral("/none.crt"); }, false,
         QStringLiteral("Not tried: TLS cannot be set up with ca_file .*/none.crt: a file cannot be read\\.")},
        {"TLS to a broker without it", open.port(),
         [&](MqttConnection &c) { c.settings.caFile = tls + QStringLiteral("/ca.crt"); }, false,
         QStringLiteral("Could not connect to 127.0.0.1:%1 \\(TLS\\): .+").arg(open.port())},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        MqttConnection connection = connectionTo(c.port);
        c.adjust(connection);
        const MqttProbeResult r = probeMqttConnection(connection, seconds(5));
        EXPECT_EQ(r.connected, c.connected);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^") + c.text + QStringLiteral("$")).match(r.text).hasMatch())
            << r.text.toStdString();
    }
}

} // namespace
