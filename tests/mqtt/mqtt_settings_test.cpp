// The [mqtt] section of Orbalis.ini: each key read from its text, a bad
// value told once with the key and the default taken, the section written
// and read back, and the password file refused while others may read it.

#include "mqtt/mqtt_settings.h"

#include "settings/orbalis_ini.h"
#include "support/files.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orbalis;

namespace {

TEST(MqttSettings, EachKeyTakesWhatItMayAndSaysWhyNot)
{
    const struct {
        const char *key;
        const char *text;
        const char *readBack;   // the key's text afterwards
        const char *problem;    // empty: taken
    } cases[] = {
        {"enabled", "true", "true", ""},
        {"enabled", " On ", "true", ""},
        {"enabled", "0", "false", ""},
        {"enabled", "maybe", "false", "\"maybe\" is neither true nor false"},
        {"host", " broker.plant ", "broker.plant", ""},
        {"host", "  ", "localhost", "no host given"},
        {"port", "8883", "8883", ""},
        {"port", "0", "1883", "\"0\" is not a port number (1 to 65535)"},
        {"port", "70000", "1883", "\"70000\" is not a port number (1 to 65535)"},
        {"port", "18x", "1883", "\"18x\" is not a port number (1 to 65535)"},
        {"prefix", "plant/line7", "plant/line7", ""},
        {"prefix", "", "", ""},   // the default for the machine and line
        {"prefix", "plant/+", "", "\"plant/+\" holds a wildcard (+ or #)"},
        {"prefix", "/plant", "", "\"/plant\" has an empty topic level"},
        {"prefix", "plant//x", "", "\"plant//x\" has an empty topic level"},
        {"qos", "2", "2", ""},
        {"qos", "3", "1", "\"3\" is not a QoS (0 to 2)"},
        {"keepalive", "5", "5", ""},
        {"keepalive", "4", "30", "\"4\" is not a keepalive in seconds (5 to 65535)"},
        {"buffer", "1", "1", ""},
        {"buffer", "-1", "10000", "\"-1\" is not a number of messages (1 to 1000000)"},
        {"write_allow", "SV,RUN", "SV,RUN", ""},
        {"write_allow", "sv; run  sv", "SV,RUN", ""},   // the register map's spelling, once each
        {"write_allow", "SV,SPEED,TURBO", "", "\"SPEED, TURBO\" names no parameter"},
        {"ha_discovery", "yes", "true", ""},
        {"ha_prefix", "ha", "ha", ""},
        {"ha_prefix", "", "homeassistant", "no prefix given"},
        {"ca_file", " /etc/ca.pem ", "/etc/ca.pem", ""},
        {"username", "operator", "operator", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.key) + " = '" + c.text + "'");
        MqttSettings s;
        EXPECT_EQ(setMqttValue(s, c.key, QString::fromUtf8(c.text)), QString::fromUtf8(c.problem));
        EXPECT_EQ(mqttValueText(s, c.key), QString::fromUtf8(c.readBack));
    }
}

TEST(MqttSettings, AFileWithBadValuesGivesTheDefaultsAndNamesEachKeyOnce)
{
    QTemporaryDir dir;
    ASSERT_TRUE(test::writeFile(dir.filePath(QStringLiteral("Orbalis.ini")),
                                "[alarms]\nsound=false\n"
                                "[mqtt]\nenabled=true\nhost=10.0.0.5\nport=99999\nqos=1\nwrite_allow=SV,RUN\n"
                                "keepalive=abc\nha_prefix=home/+\n"));
    const MqttSettingsRead read = readMqttSettings(OrbalisIni(dir.path()));
    EXPECT_TRUE(read.settings.enabled);
    EXPECT_EQ(read.settings.host, "10.0.0.5");
    EXPECT_EQ(read.settings.port, 1883);
    EXPECT_EQ(read.settings.keepalive, 30);
    EXPECT_EQ(read.settings.haPrefix, "homeassistant");
    // QSettings reads the unquoted list as a list; it is the same setting.
    EXPECT_EQ(read.settings.writeAllow, QStringList({"SV", "RUN"}));
    EXPECT_EQ(read.problems,
              QStringList({"[mqtt] port: \"99999\" is not a port number (1 to 65535); 1883 is used",
                           "[mqtt] keepalive: \"abc\" is not a keepalive in seconds (5 to 65535); 30 is used",
                           "[mqtt] ha_prefix: \"home/+\" holds a wildcard (+ or #); homeassistant is used"}));

    // No file: every default, nothing to say.
    QTemporaryDir empty;
    const MqttSettingsRead none = readMqttSettings(OrbalisIni(empty.path()));
    EXPECT_FALSE(none.settings.enabled);
    EXPECT_EQ(none.settings.buffer, 10000);
    EXPECT_TRUE(none.problems.isEmpty());
}

TEST(MqttSettings, WhatIsWrittenIsReadBackAndOtherSectionsStay)
{
    QTemporaryDir dir;
    ASSERT_TRUE(test::writeFile(dir.filePath(QStringLiteral("Orbalis.ini")), "[alarms]\nsound=false\n"));
    MqttSettings s;
    s.enabled = true;
    s.host = QStringLiteral("broker");
    s.port = 8883;
    s.prefix = QStringLiteral("plant/line 7");
    s.username = QStringLiteral("op");
    s.caFile = QStringLiteral("/etc/ssl/ca.pem");
    s.qos = 0;
    s.buffer = 500;
    s.writeAllow = {QStringLiteral("SV"), QStringLiteral("RUN")};
    s.haDiscovery = true;
    OrbalisIni ini(dir.path());
    writeMqttSettings(ini, s);
    const MqttSettingsRead read = readMqttSettings(ini);
    EXPECT_TRUE(read.problems.isEmpty()) << read.problems.join(u'\n').toStdString();
    for (const MqttKey &k : mqttKeys())
        EXPECT_EQ(mqttValueText(read.settings, k.key), mqttValueText(s, k.key)) << k.key;
    EXPECT_TRUE(test::readFile(ini.path()).contains("[alarms]\nsound=false\n"));
}

TEST(MqttSettings, ThePrefixAndClientIdDefaultToTheMachineAndTheLine)
{
    MqttSettings s;
    EXPECT_EQ(effectivePrefix(s, QStringLiteral("plant-pc"), QStringLiteral("COM3")), "orbalis/plant-pc-COM3");
    EXPECT_EQ(effectiveClientId(s, QStringLiteral("orbalis/plant-pc-COM3")), "orbalis-plant-pc-COM3");
    EXPECT_EQ(defaultMqttPrefix(QStringLiteral("a/b+#"), QStringLiteral("COM1")), "orbalis/a-b-COM1");
    EXPECT_EQ(defaultMqttPrefix(QString(), QStringLiteral("COM1")), "orbalis/localhost-COM1");
    s.prefix = QStringLiteral("line7");
    s.clientId = QStringLiteral("gw7");
    EXPECT_EQ(effectivePrefix(s, QStringLiteral("plant-pc"), QStringLiteral("COM3")), "line7");
    EXPECT_EQ(effectiveClientId(s, QStringLiteral("line7")), "gw7");
}

TEST(MqttSettings, APasswordFileIsUsedOnlyWhileItsOwnerAloneMayReadIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("password"));
    ASSERT_TRUE(test::writeFile(path, "s3cret\nsecond line\n"));
    const struct {
        QFile::Permissions permissions;
        bool used;
        const char *mode;
    } cases[] = {
        {QFile::ReadOwner | QFile::WriteOwner, true, ""},
        {QFile::ReadOwner, true, ""},
        {QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup, false, "0640"},
        {QFile::ReadOwner | QFile::ReadOther, false, "0404"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode);
        ASSERT_TRUE(QFile::setPermissions(path, c.permissions));
        const PasswordRead read = readPasswordFile(path);
        EXPECT_EQ(read.password.has_value(), c.used);
        if (c.used) {
            EXPECT_EQ(*read.password, "s3cret");
            EXPECT_TRUE(read.problem.isEmpty());
        } else {
            EXPECT_EQ(read.problem, QStringLiteral("password_file %1 may be read by others (mode %2); it is not used "
                                                   "until only its owner may read it (chmod 600)")
                                        .arg(path, QString::fromLatin1(c.mode)));
        }
    }
    const PasswordRead missing = readPasswordFile(dir.filePath(QStringLiteral("none")));
    EXPECT_FALSE(missing.password);
    EXPECT_TRUE(missing.problem.endsWith(QStringLiteral("cannot be read: No such file or directory")))
        << missing.problem.toStdString();
}

} // namespace
