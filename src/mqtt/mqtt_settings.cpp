#include "mqtt_settings.h"

#include "model/register_map.h"
#include "settings/orbalis_ini.h"

#include <QFile>
#include <QRegularExpression>
#include <array>
#include <cstring>
#include <sys/stat.h>

namespace orbalis {

namespace {

const QString Group = QStringLiteral("mqtt/");

const std::array<MqttKey, 16> Keys{{
    {"enabled", MqttKeyKind::Switch},
    {"host", MqttKeyKind::Text},
    {"port", MqttKeyKind::Number, 1, 65535},
    {"prefix", MqttKeyKind::Text},
    {"client_id", MqttKeyKind::Text},
    {"username", MqttKeyKind::Text},
    {"password_file", MqttKeyKind::File},
    {"ca_file", MqttKeyKind::File},
    {"cert_file", MqttKeyKind::File},
    {"key_file", MqttKeyKind::File},
    {"qos", MqttKeyKind::Choice, 0, 2},
    // libmosquitto takes no keepalive below 5 s.
    {"keepalive", MqttKeyKind::Number, 5, 65535},
    {"buffer", MqttKeyKind::Number, 1, 1000000},
    {"write_allow", MqttKeyKind::Mnemonics},
    {"ha_discovery", MqttKeyKind::Switch},
    {"ha_prefix", MqttKeyKind::Text},
}};

bool is(const char *key, const char *name)
{
    return std::strcmp(key, name) == 0;
}

const MqttKey *keyNamed(const char *key)
{
    for (const MqttKey &k : Keys)
        if (is(k.key, key))
            return &k;
    return nullptr;
}

QString quoted(const QString &text)
{
    return u'"' + text + u'"';
}

std::optional<bool> switchOf(const QString &text)
{
    // A hand-edited "1", "yes" or "on" means on as well.
    const QString t = text.trimmed().toLower();
    if (t == u"true" || t == u"1" || t == u"yes" || t == u"on")
        return true;
    if (t == u"false" || t == u"0" || t == u"no" || t == u"off")
        return false;
    return std::nullopt;
}

// A topic's first levels: no wildcards, no empty level, nothing but text.
QString topicPrefixProblem(const QString &text)
{
    if (text.contains(u'+') || text.contains(u'#'))
        return quoted(text) + QStringLiteral(" holds a wildcard (+ or #)");
    if (text.startsWith(u'/') || text.endsWith(u'/') || text.contains(QStringLiteral("//")))
        return quoted(text) + QStringLiteral(" has an empty topic level");
    if (text.contains(QChar(0)))
        return quoted(text) + QStringLiteral(" holds a NUL character");
    return {};
}

// The holding register named by a mnemonic, whatever its case.
const RegisterInfo *parameterNamed(const QString &mnemonic)
{
    for (const RegisterInfo &r : holdingRegisters())
        if (QString::fromLatin1(r.mnemonic.data(), qsizetype(r.mnemonic.size())).compare(mnemonic, Qt::CaseInsensitive)
            == 0)
            return &r;
    return nullptr;
}

QString setNumber(int &target, const MqttKey &k, const QString &text, const char *what)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < k.minimum || n > k.maximum)
        return quoted(text) + QStringLiteral(" is not ") + QString::fromLatin1(what) + QStringLiteral(" (%1 to %2)")
                                                                                            .arg(k.minimum)
                                                                                            .arg(k.maximum);
    target = n;
    return {};
}

QString defaultText(const char *key)
{
    const MqttSettings defaults;
    if (is(key, "prefix"))
        return QStringLiteral("orbalis/<host name>-<COM name>");
    if (is(key, "client_id"))
        return QStringLiteral("the prefix with - for /");
    const QString text = mqttValueText(defaults, key);
    return text.isEmpty() ? QStringLiteral("none") : text;
}

} // namespace

std::span<const MqttKey> mqttKeys()
{
    return Keys;
}

QString mqttValueText(const MqttSettings &s, const char *key)
{
    const auto yes = [](bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); };
    if (is(key, "enabled")) return yes(s.enabled);
    if (is(key, "host")) return s.host;
    if (is(key, "port")) return QString::number(s.port);
    if (is(key, "prefix")) return s.prefix;
    if (is(key, "client_id")) return s.clientId;
    if (is(key, "username")) return s.username;
    if (is(key, "password_file")) return s.passwordFile;
    if (is(key, "ca_file")) return s.caFile;
    if (is(key, "cert_file")) return s.certFile;
    if (is(key, "key_file")) return s.keyFile;
    if (is(key, "qos")) return QString::number(s.qos);
    if (is(key, "keepalive")) return QString::number(s.keepalive);
    if (is(key, "buffer")) return QString::number(s.buffer);
    if (is(key, "write_allow")) return s.writeAllow.join(u',');
    if (is(key, "ha_discovery")) return yes(s.haDiscovery);
    if (is(key, "ha_prefix")) return s.haPrefix;
    return {};
}

QString setMqttValue(MqttSettings &s, const char *key, const QString &text)
{
    const MqttKey *k = keyNamed(key);
    if (!k)
        return QStringLiteral("no such key");
    switch (k->kind) {
    case MqttKeyKind::Switch: {
        const std::optional<bool> on = switchOf(text);
        if (!on)
            return quoted(text) + QStringLiteral(" is neither true nor false");
        (is(key, "enabled") ? s.enabled : s.haDiscovery) = *on;
        return {};
    }
    case MqttKeyKind::Number:
        if (is(key, "port"))
            return setNumber(s.port, *k, text, "a port number");
        if (is(key, "keepalive"))
            return setNumber(s.keepalive, *k, text, "a keepalive in seconds");
        return setNumber(s.buffer, *k, text, "a number of messages");
    case MqttKeyKind::Choice:
        return setNumber(s.qos, *k, text, "a QoS");
    case MqttKeyKind::Mnemonics: {
        QStringList known;
        QStringList unknown;
        static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
        for (const QString &word : text.split(separators, Qt::SkipEmptyParts)) {
            if (const RegisterInfo *r = parameterNamed(word)) {
                const QString mnemonic = QString::fromLatin1(r->mnemonic.data(), qsizetype(r->mnemonic.size()));
                if (!known.contains(mnemonic))
                    known << mnemonic;
            } else {
                unknown << word;
            }
        }
        if (!unknown.isEmpty())
            return quoted(unknown.join(QStringLiteral(", "))) + QStringLiteral(" names no parameter");
        s.writeAllow = known;
        return {};
    }
    case MqttKeyKind::File:
    case MqttKeyKind::Text:
        break;
    }
    const QString trimmed = text.trimmed();
    if (is(key, "host")) {
        if (trimmed.isEmpty())
            return QStringLiteral("no host given");
        s.host = trimmed;
    } else if (is(key, "prefix") || is(key, "ha_prefix")) {
        if (const QString problem = topicPrefixProblem(trimmed); !problem.isEmpty())
            return problem;
        if (is(key, "ha_prefix") && trimmed.isEmpty())
            return QStringLiteral("no prefix given");
        (is(key, "prefix") ? s.prefix : s.haPrefix) = trimmed;
    } else if (is(key, "client_id")) {
        s.clientId = trimmed;
    } else if (is(key, "username")) {
        s.username = text;
    } else if (is(key, "password_file")) {
        s.passwordFile = trimmed;
    } else if (is(key, "ca_file")) {
        s.caFile = trimmed;
    } else if (is(key, "cert_file")) {
        s.certFile = trimmed;
    } else if (is(key, "key_file")) {
        s.keyFile = trimmed;
    }
    return {};
}

QString defaultMqttPrefix(const QString &hostName, const QString &portName)
{
    // Host names may hold dots, never wildcards; a topic level must not be empty.
    QString host = hostName.trimmed();
    host.remove(u'+').remove(u'#').replace(u'/', u'-');
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    return QStringLiteral("orbalis/") + host + u'-' + portName.trimmed();
}

QString defaultMqttClientId(const QString &prefix)
{
    return QString(prefix).replace(u'/', u'-');
}

QString effectivePrefix(const MqttSettings &settings, const QString &hostName, const QString &portName)
{
    return settings.prefix.isEmpty() ? defaultMqttPrefix(hostName, portName) : settings.prefix;
}

QString effectiveClientId(const MqttSettings &settings, const QString &prefix)
{
    return settings.clientId.isEmpty() ? defaultMqttClientId(prefix) : settings.clientId;
}

MqttSettingsRead readMqttSettings(const OrbalisIni &ini)
{
    MqttSettingsRead read;
    for (const MqttKey &k : Keys) {
        const QVariant v = ini.value(Group + QString::fromLatin1(k.key));
        if (!v.isValid())
            continue;
        // QSettings reads an unquoted "SV,RUN" as a list.
        const QString text = v.metaType().id() == QMetaType::QStringList ? v.toStringList().join(u',') : v.toString();
        const QString problem = setMqttValue(read.settings, k.key, text);
        if (!problem.isEmpty())
            read.problems << QStringLiteral("[mqtt] ") + QString::fromLatin1(k.key) + QStringLiteral(": ") + problem
                    + QStringLiteral("; ") + defaultText(k.key) + QStringLiteral(" is used");
    }
    return read;
}

void writeMqttSettings(OrbalisIni &ini, const MqttSettings &settings)
{
    for (const MqttKey &k : Keys)
        ini.setValue(Group + QString::fromLatin1(k.key), mqttValueText(settings, k.key));
}

PasswordRead readPasswordFile(const QString &path)
{
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &st) != 0)
        return {std::nullopt, QStringLiteral("password_file ") + path + QStringLiteral(" cannot be read: ")
                                  + QString::fromLocal8Bit(std::strerror(errno))};
    if (!S_ISREG(st.st_mode))
        return {std::nullopt, QStringLiteral("password_file ") + path + QStringLiteral(" is not a file")};
    if (st.st_mode & (S_IRGRP | S_IROTH))
        return {std::nullopt, QStringLiteral("password_file ") + path
                                  + QStringLiteral(" may be read by others (mode %1); it is not used until only its "
                                                   "owner may read it (chmod 600)")
                                        .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'))};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {std::nullopt, QStringLiteral("password_file ") + path + QStringLiteral(" cannot be read: ")
                                  + f.errorString()};
    QByteArray password = f.readLine(65536);
    while (password.endsWith('\n') || password.endsWith('\r'))
        password.chop(1);
    return {password, {}};
}

} // namespace orbalis
