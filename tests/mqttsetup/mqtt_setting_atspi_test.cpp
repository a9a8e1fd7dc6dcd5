// "Setting", "MQTT" as a screen reader reads it over AT-SPI: every field by
// its caption with what it shows, the switches and the result line.

#include "mqttsetup/mqtt_setting_window.h"

#include "core/console_core.h"
#include "mqtt/mqtt_bridge.h"
#include "state/console.h"
#include "support/atspi_tree.h"
#include "support/fake_serial_port.h"
#include "support/fakes.h"
#include "support/qt_app.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace orbalis;
using namespace orbalis::test;

TEST(MqttSettingOverAtspi, FieldsByTheirCaptionsAreHeardAsShown)
{
    qtApp();
    QTemporaryDir dir;
    {
        QFile f(dir.filePath(QStringLiteral("Orbalis.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[mqtt]\nhost=broker.plant\nport=x\nqos=2\nwrite_allow=SV\n");
    }
    Console console;
    console.programDir = dir.path();
    FakeSerialPort port;
    FakeReporter reporter;
    ConsoleCore core(console, port);
    MqttBridge bridge(console, core);
    FM_MqttSetting window(console, bridge, reporter);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QString error;
    const auto tree = readOverAtspi(FM_MqttSetting::caption(), error);
    ASSERT_TRUE(tree) << error.toStdString();
    EXPECT_EQ(heardOtherwiseThanShown(&window, *tree).join(u'\n').toStdString(), "");
    const auto host = tree->find(QStringLiteral("text"), QStringLiteral("Broker host"));
    ASSERT_EQ(host.size(), 1u);
    EXPECT_EQ(host[0]->text.value_or(QString()), QStringLiteral("broker.plant"));
    EXPECT_EQ(tree->find(QStringLiteral("check box"), QStringLiteral("Publish over MQTT")).size(), 1u);
    EXPECT_EQ(tree->find(QStringLiteral("push button"), QStringLiteral("Test")).size(), 1u);
    // The bad port is told in the result line.
    bool told = false;
    for (const AtspiNode *node : tree->all())
        told = told || (node->role == u"label" && node->name.contains(QStringLiteral("[mqtt] port: \"x\"")));
    EXPECT_TRUE(told);
}
