#pragma once

#include "port_discovery.h"
#include "core/scan_cycle.h"
#include "core/serial_setting_controls.h"
#include "core/serial_settings_apply.h"

#include "state/serial_settings_view.h"

#include <QWidget>
#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace orbalis {

class QtCycleTimer;
class Reporter;
class StatusPanels;
struct Console;

// The serial settings window: the ports of the machine, the port and its
// framing, and the scan for controllers.
//
// Lifetime: whoever opens it creates it and runs FM_SerialSetting_Load; the
// main window deletes it when it closes, so every opening loads it afresh.
// Closing it during a scan ends the scan and restarts polling.
class FM_SerialSetting : public QWidget,
                         public SerialSettingsView,
                         private SerialSettingControls,
                         private ScanTable {
    Q_OBJECT
public:
    // The console, the main window's status bar and the reporter outlive the
    // window. Without a device source it lists what ComPortResolver knows.
    FM_SerialSetting(Console &console, StatusPanels &mainStatus, Reporter &reporter,
                     std::unique_ptr<PortDeviceSource> devices = {}, QWidget *parent = nullptr);
    ~FM_SerialSetting() override;

    void FM_SerialSetting_Load();

    // SerialSettingsView: the parameter window's baud write.
    void setComboControlBaud(const QString &text) override;

    // Event handlers, also called by tests.
    void Combo_Click(SerialField field);
    void Command1_Click(int index);   // 0 Search, 1 Close, 2 Cancel, 3 Start, 4 Stop
    void ListView1_Click(int index);
    void Read_ComPort_Control();
    void Timer1_Timer();
    // "Poll at line rate" ticked or cleared: in force at once, kept in Orbalis.ini.
    void lineRateClick(bool on);

    QComboBox *combo(SerialField field) const { return combos_.at(size_t(field)); }
    QComboBox *Combo_Control_Port() const { return combo(SerialField::Port); }
    QComboBox *Combo_Control_Baud() const { return combo(SerialField::Baud); }
    QPushButton *Command1(int index) const { return buttons_.at(size_t(index)); }
    QTreeWidget *ListView1(int index) const { return lists_.at(size_t(index)); }
    QLabel *Label1(int index) const { return labels_.at(size_t(index)); }
    QRadioButton *Option1(int index) const { return options_.at(size_t(index)); }
    QProgressBar *ProgressBar1() const { return progress_; }
    QLabel *Label2() const { return percent_; }
    QCheckBox *lineRateBox() const { return lineRate_; }
    CycleTimer &Timer1() const;

    SerialSettingsApply &settingsApply() { return apply_; }
    ScanCycle &scan() { return scan_; }

    // Closed by the user: unloaded, though Qt deletes it only later.
    bool unloaded() const { return unloaded_; }

    static QString caption() { return QStringLiteral("Serial Setting"); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();

    // SerialSettingControls
    QString comboText(SerialField field) const override;
    void setComboText(SerialField field, const QString &text) override;
    void setCloseCancelEnabled(bool enabled) override;
    void setStartEnabled(bool enabled) override;
    void setStopEnabled(bool enabled) override;

    // ScanTable
    void Build_Scan_List() override;
    void setResult(int row, int subItem, const QString &text) override;
    void showProgress(int maximum, int value, const QString &percentText) override;

    Console &console_;
    Reporter &reporter_;
    std::unique_ptr<PortDeviceSource> devices_;
    std::unique_ptr<QtCycleTimer> timer1_;
    SerialSettingsApply apply_;
    ScanCycle scan_;

    std::array<QGroupBox *, 3> frames_{};       // Frame1, Frame3, Frame4
    std::array<QTreeWidget *, 2> lists_{};      // port list, scan table
    std::array<QPushButton *, 5> buttons_{};
    std::array<QLabel *, 5> labels_{};
    std::array<QComboBox *, 5> combos_{};
    std::array<QRadioButton *, 2> options_{};
    QProgressBar *progress_ = nullptr;
    QLabel *percent_ = nullptr;
    QCheckBox *lineRate_ = nullptr;
    bool unloaded_ = false;
};

} // namespace orbalis
