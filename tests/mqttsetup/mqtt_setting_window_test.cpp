// "Setting", "MQTT": the fields show what Orbalis.ini holds (a bad value as
// its default with the reason), "OK" refuses a bad field and writes nothing,
// or writes the section and starts the publisher with it, leaving "User
// Setting.ini" as it was; "Test" says what a broker answered.

#include "mqttsetup/mqtt_setting_window.h"

#include "core/console_core.h"
#include "mqtt/mqtt_bridge.h"
#include "settings/orbalis_ini.h"
#include "state/console.h"
#include "support/fake_serial_port.h"
#include "support/fakes.h"
#include "support/mqtt_broker.h"
#include "support/qt_app.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using namespace orbalis;
using namespace orbalis::test;

namespace {

class MqttSettingWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        qtApp();
        console.programDir = dir.path();
        console.settings.serial.Port = QStringLiteral("COM3");
        core = std::make_unique<ConsoleCore>(console, port);
        bridge = std::make_unique<MqttBridge>(console, *core);
        window = std::make_unique<FM_MqttSetting>(console, *bridge, reporter);
    }
    void TearDown() override
    {
        window.reset();
        bridge.reset();
    }

    void writeIni(const QByteArray &text)
    {
        QFile f(dir.filePath(OrbalisIni::fileName()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QString fieldText(const char *key) const
    {
        if (QCheckBox *box = window->switchField(key))
            return box->isChecked() ? QStringLiteral("true") : QStringLiteral("false");
        if (QComboBox *combo = window->choiceField(key))
            return combo->currentText();
        return window->textField(key)->text();
    }

    QTemporaryDir dir;
    Console console;
    FakeSerialPort port;
    FakeReporter reporter;
    std::unique_ptr<ConsoleCore> core;
    std::unique_ptr<MqttBridge> bridge;
    std::unique_ptr<FM_MqttSetting> window;
};

} // namespace

TEST_F(MqttSettingWindow, FieldsShowTheFileAndABadValueAsItsDefaultWithTheReason)
{
    writeIni("[mqtt]\nenabled=true\nhost=broker.plant\nport=70000\nqos=2\nwrite_allow=\"SV,RUN\"\n"
             "ha_discovery=true\nbuffer=500\n");
    window->show();
    const struct {
        const char *key;
        const char *shown;
    } rows[] = {
        {"enabled", "true"},       {"host", "broker.plant"}, {"port", "1883"},
        {"qos", "2"},              {"write_allow", "SV,RUN"}, {"ha_discovery", "true"},
        {"buffer", "500"},         {"keepalive", "30"},      {"ha_prefix", "homeassistant"},
        {"password_file", ""},
    };
    for (const auto &r : rows)
        EXPECT_EQ(fieldText(r.key), QString::fromLatin1(r.shown)) << r.key;
    EXPECT_TRUE(window->result()->text().contains(QStringLiteral("[mqtt] port: \"70000\" is not")))
        << window->result()->text().toStdString();
    EXPECT_TRUE(window->result()->text().contains(QStringLiteral("1883 is used")));
    // The prefix left empty shows the default this machine and line would use.
    EXPECT_TRUE(window->textField("prefix")->placeholderText().endsWith(QStringLiteral("-COM3")));
    EXPECT_EQ(window->publisherLine()->text(), QStringLiteral("Publisher: off"));
}

TEST_F(MqttSettingWindow, OkRefusesABadFieldAndWritesNothing)
{
    const struct {
        const char *key;
        const char *text;
        const char *reason;
    } cases[] = {
        {"port", "0", "Port: \"0\" is not"},
        {"host", "", "Broker host: no host given"},
        {"prefix", "a/+/b", "Topic prefix: \"a/+/b\" holds a wildcard"},
        {"write_allow", "SV,NOPE", "Writable mnemonics: \"NOPE\" names no parameter"},
        {"buffer", "-3", "Buffer (messages): \"-3\" is not"},
    };
    for (const auto &c : cases) {
        window->show();
        window->textField(c.key)->setText(QString::fromLatin1(c.text));
        EXPECT_FALSE(window->accept()) << c.key;
        EXPECT_TRUE(window->result()->text().startsWith(QStringLiteral("Not saved. ")));
        EXPECT_TRUE(window->result()->text().contains(QString::fromLatin1(c.reason)))
            << window->result()->text().toStdString();
        EXPECT_FALSE(QFile::exists(dir.filePath(OrbalisIni::fileName()))) << c.key;
        // "Test" refuses the same fields before it tries anything.
        window->test();
        EXPECT_FALSE(window->testing());
        EXPECT_TRUE(window->result()->text().startsWith(QStringLiteral("Not tested. "))) << c.key;
        window->close();
    }
    EXPECT_FALSE(bridge->running());
}

TEST_F(MqttSettingWindow, OkWritesTheSectionAndStartsThePublisherLeavingUserSettingAlone)
{
    const QByteArray userSetting = "[Serial]\r\nPort=COM3\r\n";
    {
        QFile f(dir.filePath(QStringLiteral("User Setting.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(userSetting);
    }
    window->show();
    window->switchField("enabled")->setChecked(true);
    window->textField("host")->setText(QStringLiteral("127.0.0.1"));
    window->textField("port")->setText(QString::number(freeLoopbackPort()));
    window->textField("write_allow")->setText(QStringLiteral("SV, RUN"));
    window->choiceField("qos")->setCurrentIndex(window->choiceField("qos")->findText(QStringLiteral("0")));
    window->okButton()->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join(u'\n').toStdString();

    const MqttSettingsRead read = readMqttSettings(OrbalisIni(dir.path()));
    EXPECT_TRUE(read.problems.isEmpty()) << read.problems.join(u'\n').toStdString();
    EXPECT_TRUE(read.settings.enabled);
    EXPECT_EQ(read.settings.host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(read.settings.qos, 0);
    EXPECT_EQ(read.settings.writeAllow, (QStringList{QStringLiteral("SV"), QStringLiteral("RUN")}));
    EXPECT_TRUE(bridge->running());
    EXPECT_TRUE(bridge->summary().contains(QStringLiteral("0 messages dropped")));

    QFile f(dir.filePath(QStringLiteral("User Setting.ini")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), userSetting);

    // Shown again, the window reads the file it wrote, and "Cancel" keeps it.
    window->show();
    EXPECT_EQ(fieldText("write_allow"), QStringLiteral("SV,RUN"));
    window->textField("host")->setText(QStringLiteral("elsewhere"));
    window->cancelButton()->click();
    EXPECT_EQ(readMqttSettings(OrbalisIni(dir.path())).settings.host, QStringLiteral("127.0.0.1"));
}

TEST_F(MqttSettingWindow, TestSaysWhatTheBrokerAnswered)
{
    if (!mosquittoInstalled())
        GTEST_SKIP() << "mosquitto is not installed";
    MqttBroker broker;
    ASSERT_TRUE(broker.start());
    const struct {
        int port;
        const char *says;
    } cases[] = {
        {broker.port(), "Connected to 127.0.0.1:%1 in "},
        {freeLoopbackPort(), "Could not connect to 127.0.0.1:%1: "},
    };
    window->show();
    for (const auto &c : cases) {
        window->textField("host")->setText(QStringLiteral("127.0.0.1"));
        window->textField("port")->setText(QString::number(c.port));
        window->testButton()->click();
        EXPECT_TRUE(window->testing());
        EXPECT_FALSE(window->testButton()->isEnabled());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window->testing(); }, 8000));
        EXPECT_TRUE(window->result()->text().startsWith(QString::fromLatin1(c.says).arg(c.port)))
            << window->result()->text().toStdString();
        EXPECT_TRUE(window->testButton()->isEnabled());
    }
    // A test writes nothing and starts no publisher.
    EXPECT_FALSE(QFile::exists(dir.filePath(OrbalisIni::fileName())));
    EXPECT_FALSE(bridge->running());
}
