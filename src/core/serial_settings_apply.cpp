#include "serial_settings_apply.h"

#include "base/error_trap.h"
#include "base/status_panels.h"
#include "settings/settings_store.h"
#include "state/console.h"
#include "state/open_serial_port.h"

namespace orbalis {

namespace {

const QString ClosePort = QStringLiteral("CLOSE");

SerialPort &portOf(const Console &console)
{
    return console.line.openedPort();
}

} // namespace

SerialSettingsApply::SerialSettingsApply(Console &console, SerialSettingControls &controls,
                                         StatusPanels &mainStatus, Reporter &reporter)
    : console_(console), controls_(controls), mainStatus_(mainStatus), reporter_(reporter)
{
}

void SerialSettingsApply::readSettingsRecord(ErrorTrap &trap)
{
    SettingsFile file(console_.settingsPath());
    if (!trap.step([&] { file.open(); })) {
        // Reported once; a file that cannot be written may still be read.
        try {
            file.openReadOnly();
        } catch (const Error &) {
        }
    }
    if (!file.isOpen())
        return;
    SettingsModel read = console_.settings;
    trap.step([&] { Read_User_Setting(file, 1, read); });
    file.close();
    // An empty text is never a setting; the port is still open on the one in use.
    SerialSettings &serial = console_.settings.serial;
    for (SerialField f : AllSerialFields)
        if (!fieldOf(read.serial, f).isEmpty())
            fieldOf(serial, f) = fieldOf(read.serial, f);
}

void SerialSettingsApply::showSettings()
{
    const SerialSettings &serial = console_.settings.serial;
    for (SerialField f : AllSerialFields)
        controls_.setComboText(f, fieldOf(serial, f));
    saved_ = serial;
}

void SerialSettingsApply::Combo_Click(SerialField field)
{
    fieldOf(saved_, field) = fieldOf(console_.settings.serial, field);
    Check_RS232_Setting_Changed();
}

bool SerialSettingsApply::Check_RS232_Setting_Changed()
{
    bool changed = false;
    for (SerialField f : AllSerialFields)
        changed = changed || controls_.comboText(f) != fieldOf(console_.settings.serial, f);
    controls_.setCloseCancelEnabled(changed);
    return changed;
}

void SerialSettingsApply::commandClose(bool scanRunning)
{
    controls_.setCloseCancelEnabled(false);
    Control_RS232_Setting_Ok();
    if (portOpen()) {
        // Two senders on one line would mix their replies up.
        if (scanRunning)
            return;
        controls_.setStartEnabled(true);
        controls_.setStopEnabled(true);
        console_.line.resumeLivePolling();
        return;
    }
    controls_.setStartEnabled(false);
    controls_.setStopEnabled(false);
    if (console_.settings.serial.Port == ClosePort) {
        mainStatus_.setText(2, closeText());
        console_.line.stopPolling();
    } else {
        mainStatus_.setText(2, notOpenText());
        console_.line.resumeLivePolling();
    }
}

void SerialSettingsApply::commandCancel()
{
    controls_.setCloseCancelEnabled(false);
    Restore_RS232_Setting();
}

void SerialSettingsApply::Control_RS232_Setting_Ok()
{
    SerialSettings &serial = console_.settings.serial;
    const auto step = [this](auto &&statement) {
        try {
            statement();
        } catch (...) {
            fallBackToClose(currentExceptionAsError());
        }
    };

    step([&] {
        copyCombosInto(serial);
        saved_ = serial;
    });
    step([&] {
        SerialPort &port = portOf(console_);
        if (port.PortOpen())
            port.setPortOpen(false);
    });
    // One step: after a failure the rest would open a port nobody chose.
    step([&] {
        if (serial.Port == ClosePort)
            return;
        SerialPort &port = portOf(console_);
        // The user's choice: the COM name may now name another device.
        port.forgetBoundDevice();
        port.setCommPort(portNumber(serial.Port));
        port.setSettings(portSettingsText(serial));
        port.setPortOpen(true);
    });
    step([&] { writeSerialRecord(); });
}

void SerialSettingsApply::fallBackToClose(const Error &e) noexcept
{
    try {
        controls_.setComboText(SerialField::Port, ClosePort);
        copyCombosInto(console_.settings.serial);
        copyCombosInto(saved_);
    } catch (...) {
    }
    try {
        writeSerialRecord();
    } catch (...) {
        // The step that writes the record next reports a file that cannot be written.
    }
    try {
        reporter_.beep();
        mainStatus_.setText(2, notOpenText());
        reporter_.warn(ErrorTrap::title(), ErrorTrap::messageText(QStringLiteral("Control_RS232_Setting_Ok"), e));
    } catch (...) {
    }
}

void SerialSettingsApply::Restore_RS232_Setting()
{
    console_.settings.serial = saved_;
    for (SerialField f : AllSerialFields)
        controls_.setComboText(f, fieldOf(saved_, f));
}

void SerialSettingsApply::followAppliedBaud(const QString &baud)
{
    saved_.Baud = baud;
}

void SerialSettingsApply::copyCombosInto(SerialSettings &serial) const
{
    for (SerialField f : AllSerialFields)
        fieldOf(serial, f) = controls_.comboText(f);
}

void SerialSettingsApply::writeSerialRecord() const
{
    saveSettingsRecords(console_.settingsPath(), {1}, console_.settings);
}

bool SerialSettingsApply::portOpen() const
{
    return console_.line.portOpen();
}

} // namespace orbalis
