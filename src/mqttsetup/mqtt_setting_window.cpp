#include "mqtt_setting_window.h"

#include "base/error_trap.h"
#include "base/reporter.h"
#include "mqtt/mqtt_bridge.h"
#include "settings/orbalis_ini.h"
#include "state/console.h"
#include "widgets/accessible_names.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSysInfo>
#include <QThread>
#include <QVBoxLayout>
#include <cstring>

namespace orbalis {

namespace {

// The caption of each key's row, in the order of the keys.
struct Row {
    const char *key;
    const char *caption;
    const char *hint;   // shown while the field is empty
};

constexpr Row Rows[] = {
    {"enabled", "Publish over MQTT", nullptr},
    {"host", "Broker host", nullptr},
    {"port", "Port", nullptr},
    {"prefix", "Topic prefix", nullptr},   // the default is worked out when shown
    {"client_id", "Client ID", "the prefix with - for /"},
    {"username", "User name", "none"},
    {"password_file", "Password file", "none (readable by its owner only)"},
    {"ca_file", "CA file (TLS)", "none: no TLS"},
    {"cert_file", "Client certificate", "none"},
    {"key_file", "Client key", "none"},
    {"qos", "QoS", nullptr},
    {"keepalive", "Keepalive (s)", nullptr},
    {"buffer", "Buffer (messages)", nullptr},
    {"write_allow", "Writable mnemonics", "none: nothing is written (for example SV,RUN)"},
    {"ha_discovery", "Home Assistant discovery", nullptr},
    {"ha_prefix", "Discovery prefix", nullptr},
};

const Row &rowOf(const char *key)
{
    for (const Row &r : Rows)
        if (std::strcmp(r.key, key) == 0)
            return r;
    return Rows[0];
}

} // namespace

FM_MqttSetting::FM_MqttSetting(Console &console, MqttBridge &bridge, Reporter &reporter, QWidget *parent)
    : QWidget(parent, Qt::Window), console_(console), bridge_(bridge), reporter_(reporter)
{
    setWindowTitle(caption());
    setAccessibleName(caption());
    build();
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &FM_MqttSetting::refreshPublisher);
}

FM_MqttSetting::~FM_MqttSetting()
{
    // A test still connecting ends within its timeout.
    if (probe_) {
        probe_->wait();
        delete probe_;
    }
}

void FM_MqttSetting::build()
{
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    layout->addLayout(form);
    for (const MqttKey &k : mqttKeys()) {
        const Row &row = rowOf(k.key);
        const QString caption = QString::fromLatin1(row.caption);
        QWidget *field = nullptr;
        switch (k.kind) {
        case MqttKeyKind::Switch: {
            auto *box = new QCheckBox(caption, this);
            box->setAccessibleName(caption);
            form->addRow(box);
            fields_[k.key] = box;
            continue;
        }
        case MqttKeyKind::Choice: {
            auto *combo = new QComboBox(this);
            for (int v = k.minimum; v <= k.maximum; ++v)
                combo->addItem(QString::number(v));
            nameComboBox(combo, caption);
            field = combo;
            break;
        }
        default: {
            auto *edit = new QLineEdit(this);
            edit->setAccessibleName(caption);
            if (row.hint) {
                edit->setPlaceholderText(QString::fromLatin1(row.hint));
                // Wide enough that the hint is read whole.
                edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(edit->placeholderText()) + 16);
            }
            field = edit;
            break;
        }
        }
        auto *label = new QLabel(caption, this);
        label->setBuddy(field);
        form->addRow(label, field);
        fields_[k.key] = field;
    }

    result_ = new QLabel(this);
    result_->setWordWrap(true);
    nameByRoleAndText(result_, QStringLiteral("Result"));
    layout->addWidget(result_);
    publisher_ = new QLabel(this);
    publisher_->setWordWrap(true);   // "Publisher: ...", heard by its text
    layout->addWidget(publisher_);

    auto *buttons = new QHBoxLayout;
    const auto button = [this](const char *text) {
        auto *b = new QPushButton(QString::fromLatin1(text), this);
        b->setAccessibleName(b->text());
        return b;
    };
    test_ = button("Test");
    ok_ = button("OK");
    cancel_ = button("Cancel");
    buttons->addWidget(test_);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    ok_->setDefault(true);
    connect(test_, &QPushButton::clicked, this, &FM_MqttSetting::test);
    connect(ok_, &QPushButton::clicked, this, [this] {
        if (accept())
            close();
    });
    connect(cancel_, &QPushButton::clicked, this, &QWidget::close);
}

QLineEdit *FM_MqttSetting::textField(const char *key) const
{
    const auto it = fields_.find(key);
    return it == fields_.end() ? nullptr : qobject_cast<QLineEdit *>(it->second);
}

QCheckBox *FM_MqttSetting::switchField(const char *key) const
{
    const auto it = fields_.find(key);
    return it == fields_.end() ? nullptr : qobject_cast<QCheckBox *>(it->second);
}

QComboBox *FM_MqttSetting::choiceField(const char *key) const
{
    const auto it = fields_.find(key);
    return it == fields_.end() ? nullptr : qobject_cast<QComboBox *>(it->second);
}

void FM_MqttSetting::showSettings(const MqttSettings &settings)
{
    for (const MqttKey &k : mqttKeys()) {
        const QString text = mqttValueText(settings, k.key);
        if (QCheckBox *box = switchField(k.key))
            box->setChecked(text == u"true");
        else if (QComboBox *combo = choiceField(k.key))
            combo->setCurrentIndex(combo->findText(text));
        else if (QLineEdit *edit = textField(k.key))
            edit->setText(text);
    }
    textField("prefix")->setPlaceholderText(defaultMqttPrefix(QSysInfo::machineHostName(), console_.settings.serial.Port));
}

void FM_MqttSetting::load()
{
    const MqttSettingsRead read = readMqttSettings(OrbalisIni(console_.programDir));
    showSettings(read.settings);
    result_->setText(read.problems.join(u'\n'));
    refreshPublisher();
}

MqttSettings FM_MqttSetting::fields(QStringList &problems) const
{
    MqttSettings settings;
    for (const MqttKey &k : mqttKeys()) {
        QString text;
        if (const QCheckBox *box = switchField(k.key))
            text = box->isChecked() ? QStringLiteral("true") : QStringLiteral("false");
        else if (const QComboBox *combo = choiceField(k.key))
            text = combo->currentText();
        else if (const QLineEdit *edit = textField(k.key))
            text = edit->text();
        const QString problem = setMqttValue(settings, k.key, text);
        if (!problem.isEmpty())
            problems << QString::fromLatin1(rowOf(k.key).caption) + QStringLiteral(": ") + problem;
    }
    return settings;
}

bool FM_MqttSetting::accept()
{
    QStringList problems;
    const MqttSettings settings = fields(problems);
    if (!problems.isEmpty()) {
        result_->setText(QStringLiteral("Not saved. ") + problems.join(QStringLiteral("; ")) + u'.');
        return false;
    }
    ErrorTrap trap(reporter_, QStringLiteral("FM_MqttSetting_Ok"));
    const bool written = trap.step([&] {
        OrbalisIni ini(console_.programDir);
        writeMqttSettings(ini, settings);
    });
    if (!written)
        return false;
    bridge_.start(settings);
    return true;
}

void FM_MqttSetting::test()
{
    if (probe_)
        return;
    QStringList problems;
    const MqttSettings settings = fields(problems);
    if (!problems.isEmpty()) {
        result_->setText(QStringLiteral("Not tested. ") + problems.join(QStringLiteral("; ")) + u'.');
        return;
    }
    MqttConnection connection;
    connection.settings = settings;
    const QString prefix = effectivePrefix(settings, QSysInfo::machineHostName(), console_.settings.serial.Port);
    // Another ID than the publisher's: the broker would otherwise end the publisher's connection.
    connection.clientId = effectiveClientId(settings, prefix) + QStringLiteral("-test");
    QString note;
    if (!settings.passwordFile.isEmpty()) {
        const PasswordRead password = readPasswordFile(settings.passwordFile);
        connection.password = password.password;
        if (!password.password)
            note = QStringLiteral(" (") + password.problem + QStringLiteral("; tested without a password)");
    }
    result_->setText(QStringLiteral("Testing %1 ...").arg(brokerName(settings)));
    test_->setEnabled(false);
    probe_ = QThread::create([this, connection] {
        probeResult_ = probeMqttConnection(connection, std::chrono::seconds(5));
    });
    connect(probe_, &QThread::finished, this, [this, note] {
        result_->setText(probeResult_.text + note);
        test_->setEnabled(true);
        probe_->deleteLater();
        probe_ = nullptr;
    });
    probe_->start();
}

void FM_MqttSetting::refreshPublisher()
{
    publisher_->setText(QStringLiteral("Publisher: ") + bridge_.summary());
}

void FM_MqttSetting::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        load();
    timer_.start();
}

void FM_MqttSetting::hideEvent(QHideEvent *event)
{
    timer_.stop();
    QWidget::hideEvent(event);
}

} // namespace orbalis
