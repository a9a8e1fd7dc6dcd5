#pragma once

#include "serial_setting_controls.h"

#include "settings/settings_model.h"

#include <QString>

namespace orbalis {

class Error;
class ErrorTrap;
class Reporter;
class StatusPanels;
struct Console;

// Choosing, applying and cancelling the port and its framing: what "Close"
// and "Cancel" of the serial settings window do, without the widgets.
// Saved_Setting is the window's own copy of the applied settings.
class SerialSettingsApply {
public:
    // All references outlive this object; mainStatus is the main window's status bar.
    SerialSettingsApply(Console &console, SerialSettingControls &controls, StatusPanels &mainStatus,
                        Reporter &reporter);

    // Loading, step 1: record 1 of the settings file into SerialSettings.
    // Failures go to the trap; a text the file does not hold (a file deleted
    // or cut short while the console runs) keeps the value in use.
    void readSettingsRecord(ErrorTrap &trap);
    // Loading, steps 2 and 3: the combo texts and Saved_Setting from SerialSettings.
    void showSettings();

    // The user picked an item of a combo box.
    void Combo_Click(SerialField field);
    // Enables "Close" and "Cancel" when a combo text differs from the applied
    // settings, disables both otherwise. True when one differs.
    bool Check_RS232_Setting_Changed();

    // "Close". While a scan runs the scan keeps the line: polling is not
    // restarted here (the scan's end restarts it) and "Start"/"Stop" keep
    // their scanning states.
    void commandClose(bool scanRunning);
    // "Cancel".
    void commandCancel();

    // Copies the combos into the settings, reopens the port, writes record 1.
    // Any failure stores "CLOSE" and is reported naming this procedure.
    void Control_RS232_Setting_Ok();
    void Restore_RS232_Setting();

    const SerialSettings &Saved_Setting() const { return saved_; }
    // The parameter window's baud write sets the combo box and then applies
    // the same text itself; the saved copy follows, so that a later "Cancel"
    // never puts back a baud rate the port no longer uses.
    void followAppliedBaud(const QString &baud);

    static QString closeText() { return QStringLiteral("Serial port is close !"); }
    static QString notOpenText() { return QStringLiteral("Serial port is not open !"); }

private:
    void copyCombosInto(SerialSettings &serial) const;
    void fallBackToClose(const Error &e) noexcept;
    void writeSerialRecord() const;
    bool portOpen() const;

    Console &console_;
    SerialSettingControls &controls_;
    StatusPanels &mainStatus_;
    Reporter &reporter_;
    SerialSettings saved_;
};

} // namespace orbalis
