#pragma once

#include <QString>

namespace orbalis {

class CycleTimer;
class Error;
class Reporter;
class SerialPort;
class SerialSettingControls;
class SerialSettingsApply;
class StatusPanels;
struct Console;

// The scan table, progress bar and percent label as the scan sees them.
class ScanTable {
public:
    virtual ~ScanTable() = default;
    // Clears the table and builds its five columns and rows 1 to 255.
    virtual void Build_Scan_List() = 0;
    // Row = controller ID 1..255; sub-item 1..4 = 19200, 9600, 4800, 2400 baud.
    virtual void setResult(int row, int subItem, const QString &text) = 0;
    virtual void showProgress(int maximum, int value, const QString &percentText) = 0;
};

// The controller scan behind Timer1: every ID from 1 to 255 at 19200, 9600,
// 4800 and 2400 baud, one request per tick, until the first reply that
// comes from a controller as its answer to the scan's request (the asked
// ID's, or a late one of an ID asked before). Polling is off while it runs
// and restarted when it ends.
class ScanCycle {
public:
    static constexpr int IdsPerBlock = 255;
    static constexpr int LastStep = 4 * IdsPerBlock - 1;   // 1019
    static constexpr int StartIntervalMs = 25;

    // All references outlive the cycle; mainStatus is the main window's status bar.
    ScanCycle(Console &console, CycleTimer &timer1, SerialSettingsApply &settings,
              SerialSettingControls &controls, ScanTable &table, StatusPanels &mainStatus,
              Reporter &reporter);

    void Start();   // "Start"
    void Stop();    // "Stop"
    // One step. No exception leaves it: an error ends the scan and is
    // reported naming "Timer1_Timer".
    void Timer1_Timer() noexcept;
    // The window closes: a running scan ends as from a tick, so polling resumes.
    void windowClosing() noexcept;

    bool scanning() const;
    int Scan_Step() const { return step_; }

    // Panel 2 of the main window when a tick finds the port closed.
    static QString portClosedText() { return QStringLiteral("Auto Scan ended: serial port is not open !"); }

private:
    void tick();
    void send(int step);
    void endScan();
    void endScanPortClosed();
    SerialPort &port() const;

    Console &console_;
    CycleTimer &timer1_;
    SerialSettingsApply &settings_;
    SerialSettingControls &controls_;
    ScanTable &table_;
    StatusPanels &mainStatus_;
    Reporter &reporter_;
    int step_ = 0;
    bool inTick_ = false;
};

} // namespace orbalis
