#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <span>

namespace orbalis {

class OrbalisIni;

// The [mqtt] section of Orbalis.ini: where and how the live values are
// published. Empty texts mean "none" (user name, files) or the default
// worked out from the machine and the line (prefix, client ID).
struct MqttSettings {
    bool enabled = false;
    QString host = QStringLiteral("localhost");
    int port = 1883;
    QString prefix;            // empty: orbalis/<host name>-<COM name>
    QString clientId;          // empty: the prefix with "-" for "/"
    QString username;
    QString passwordFile;      // a file that holds the password, readable by its owner only
    QString caFile;            // TLS when set
    QString certFile;
    QString keyFile;
    int qos = 1;
    int keepalive = 30;        // seconds
    int buffer = 10000;        // messages kept while the broker cannot take them
    QStringList writeAllow;    // mnemonics whose set topics are written to the controller
    bool haDiscovery = false;
    QString haPrefix = QStringLiteral("homeassistant");

    bool tls() const { return !caFile.isEmpty(); }
    bool allowsWrite(const QString &mnemonic) const { return writeAllow.contains(mnemonic); }
};

// How a key is edited and checked.
enum class MqttKeyKind { Switch, Text, Number, Choice, File, Mnemonics };

struct MqttKey {
    const char *key;       // "port", as in the file
    MqttKeyKind kind;
    int minimum = 0;       // Number and Choice
    int maximum = 0;
};

// Every key of the section, in the order the file and the window list them.
std::span<const MqttKey> mqttKeys();

// A key's value as the file holds it ("1883", "true", "SV,RUN").
QString mqttValueText(const MqttSettings &settings, const char *key);
// Takes a key's value from its text; an empty result, or why the text is
// refused (the setting then keeps what it had): `"70000" is not a port
// number (1 to 65535)`.
QString setMqttValue(MqttSettings &settings, const char *key, const QString &text);

// The defaults that depend on where the program runs.
QString defaultMqttPrefix(const QString &hostName, const QString &portName);
QString defaultMqttClientId(const QString &prefix);

struct MqttSettingsRead {
    MqttSettings settings;
    // One sentence per bad value, naming the key and the default taken.
    QStringList problems;
};

// The section as Orbalis.ini holds it; a missing file or key gives the default.
MqttSettingsRead readMqttSettings(const OrbalisIni &ini);
// Every key of the section into the file; throws Error when it cannot be written.
void writeMqttSettings(OrbalisIni &ini, const MqttSettings &settings);

// The prefix and the client ID to use: the settings' own, or the defaults
// for this machine and line.
QString effectivePrefix(const MqttSettings &settings, const QString &hostName, const QString &portName);
QString effectiveClientId(const MqttSettings &settings, const QString &prefix);

struct PasswordRead {
    std::optional<QByteArray> password;   // the file's first line
    QString problem;                      // why the file is not used
};
// The password from its file, refused when the file's group or others may
// read it.
PasswordRead readPasswordFile(const QString &path);

} // namespace orbalis
