#pragma once

#include "serialsetup/serial_setting_window.h"

#include "settings/settings_store.h"
#include "state/console.h"
#include "support/fake_serial_port.h"
#include "support/fakes.h"
#include "support/qt_app.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace orbalis::test {

// A device list the test writes itself.
class FakeDeviceSource : public PortDeviceSource {
public:
    explicit FakeDeviceSource(QList<PortDevice> list) : list_(std::move(list)) {}
    QList<PortDevice> devices() override
    {
        ++*calls;
        return list_;
    }
    std::shared_ptr<int> calls = std::make_shared<int>(0);

private:
    QList<PortDevice> list_;
};

inline SerialSettings Defaults()
{
    return {QStringLiteral("COM1"), QStringLiteral("19200"), QStringLiteral("2"), QStringLiteral("8"),
            QStringLiteral("None")};
}

// The serial settings window over a fake port (open on the defaults), a fake
// polling timer (running) and a fake main status bar.
class SerialSettingFixture : public ::testing::Test {
public:
    void SetUp() override
    {
        qtApp();
        ASSERT_TRUE(dir.isValid());
        console.programDir = dir.path();
        console.line.attach(&port, &timerRead, nullptr);
        SettingsModel model;
        model.serial = Defaults();
        Fill_Default_Settings(model);
        saveSettingsRecords(console.settingsPath(), {1, 2, 3, 4, 5, 6, 7}, model);
        console.settings = model;
        port.setCommPort(1);
        port.setSettings(QStringLiteral("19200,N,8,2"));
        port.setPortOpen(true);
        timerRead.setEnabled(true);
    }

    void open(QList<PortDevice> devices = {})
    {
        auto source = std::make_unique<FakeDeviceSource>(std::move(devices));
        sourceCalls = source->calls;
        window = std::make_unique<FM_SerialSetting>(console, mainStatus, reporter, std::move(source));
        window->FM_SerialSetting_Load();
    }

    // A pick of a list item, as a click in the drop-down list gives it.
    void pick(SerialField field, const QString &text)
    {
        QComboBox *combo = window->combo(field);
        const int index = combo->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        combo->setCurrentIndex(index);
        Q_EMIT combo->activated(index);
    }

    SerialSettings record1() const
    {
        SettingsFile file(console.settingsPath());
        file.openReadOnly();
        SettingsModel model;
        Read_User_Setting(file, 1, model);
        return model.serial;
    }

    bool closeEnabled() const { return window->Command1(1)->isEnabled(); }
    bool cancelEnabled() const { return window->Command1(2)->isEnabled(); }
    bool startEnabled() const { return window->Command1(3)->isEnabled(); }
    bool stopEnabled() const { return window->Command1(4)->isEnabled(); }
    QString cell(int row, int column) const { return window->ListView1(1)->topLevelItem(row - 1)->text(column); }

    QTemporaryDir dir;
    Console console;
    FakeSerialPort port;
    FakeTimer timerRead;
    FakeStatus mainStatus;
    FakeReporter reporter;
    std::shared_ptr<int> sourceCalls;
    std::unique_ptr<FM_SerialSetting> window;
};

} // namespace orbalis::test
