#pragma once

#include "mqtt/mqtt_probe.h"
#include "mqtt/mqtt_settings.h"

#include <QTimer>
#include <QWidget>
#include <map>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QThread;

namespace orbalis {

struct Console;
class MqttBridge;
class Reporter;

// "Setting", "MQTT": the [mqtt] section of Orbalis.ini, one row per key.
// "Test" connects once with what the fields say and tells what happened;
// "OK" checks the fields, writes the section and starts the publisher
// again with it; "Cancel" leaves everything as it was. Below the fields the
// publisher's state and the count of messages it dropped.
//
// Created on first use and kept; closing it hides it, and every show reads
// the file again.
class FM_MqttSetting : public QWidget {
    Q_OBJECT
public:
    // All references outlive the window.
    FM_MqttSetting(Console &console, MqttBridge &bridge, Reporter &reporter, QWidget *parent = nullptr);
    ~FM_MqttSetting() override;

    static QString caption() { return QStringLiteral("MQTT"); }

    // Fills the fields from Orbalis.ini; a bad value shows its default and
    // the reason below the fields.
    void load();
    // "OK": false (nothing written, the window stays) when a field is refused.
    bool accept();
    // "Test": connects once in the background; the answer comes to result().
    void test();
    bool testing() const { return probe_ != nullptr; }

    // The settings the fields hold; the reasons of the fields refused.
    MqttSettings fields(QStringList &problems) const;

    QLineEdit *textField(const char *key) const;
    QCheckBox *switchField(const char *key) const;
    QComboBox *choiceField(const char *key) const;
    QPushButton *testButton() const { return test_; }
    QPushButton *okButton() const { return ok_; }
    QPushButton *cancelButton() const { return cancel_; }
    QLabel *result() const { return result_; }
    QLabel *publisherLine() const { return publisher_; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void build();
    void showSettings(const MqttSettings &settings);
    void refreshPublisher();

    Console &console_;
    MqttBridge &bridge_;
    Reporter &reporter_;
    std::map<std::string, QWidget *> fields_;
    QPushButton *test_ = nullptr;
    QPushButton *ok_ = nullptr;
    QPushButton *cancel_ = nullptr;
    QLabel *result_ = nullptr;
    QLabel *publisher_ = nullptr;
    QThread *probe_ = nullptr;
    MqttProbeResult probeResult_;
    QTimer timer_;
};

} // namespace orbalis
