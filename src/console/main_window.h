#pragma once

#include "state/console.h"
#include "base/reporter.h"
#include "base/status_panels.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>

class QAction;
class QMenu;

namespace orbalis {

class StatusPanel;

class ConsoleCore;
class ImageLists;
class LiveValueTable;
class PollingCycle;
class SlotPanel;
class FM_TableSetting;
class FM_SerialSetting;
class FM_Parameter;
class WriteCycle;
class LineHealth;
class ConsoleAlarms;
class TrendWindows;
class AboutBox;

// The main window: the panel of 16 slots, the status bar, the menus, the
// polling and write timers. Loading it starts the console; closing it ends
// the program at once.
class FM_Orbalis : public QMainWindow, private StatusPanels {
    Q_OBJECT
public:
    // The port and the reporter belong to the caller and outlive the window.
    FM_Orbalis(Console &console, SerialPort &port, Reporter &reporter, QWidget *parent = nullptr);
    ~FM_Orbalis() override;

    // The startup sequence: settings, panel table, port, polling.
    void Form_Load();
    // The exit sequence: close the port, save the decimal-point codes.
    void Form_Unload();

    void File_Click(int index);
    void Option_Click(int index);

    StatusPanels &StatusBar1() { return *this; }
    SlotPanel &Pic_All() const { return *panel_; }
    // What the live pass wrote last; the record lines read it back.
    LiveValueTable &liveValues() const;
    PollingCycle &polling() const;
    CycleTimer &Timer_Read() const;
    CycleTimer &Timer_Write() const;
    // The console's line and its record, on which the window sits.
    ConsoleCore &core() const { return *core_; }
    QMenu *fileMenu() const { return fileMenu_; }
    QMenu *settingMenu() const { return optionMenu_; }
    FM_TableSetting *tableSetting() const { return tableSetting_; }
    // The serial settings window while it is loaded (shown or not), else null.
    FM_SerialSetting *serialSetting() const;
    // Created by the first click on a slot's menu button.
    FM_Parameter *parameterWindow() const { return parameter_; }
    WriteCycle &writeCycle() const;
    // A slot's menu button: the parameter window for that slot.
    void showParameterWindow(int slot);
    // The line's counters, traffic and panel marks; "Line Monitor".
    LineHealth &health() const { return *health_; }
    TrendWindows &trends() const { return *trends_; }
    // The alarms: tracker, journal, panel marks; "View", "Alarms".
    ConsoleAlarms &alarms() const { return *alarms_; }
    QMenu *viewMenu() const { return viewMenu_; }
    // "View", "About Orbalis": the version and the program folder.
    void showAbout();
    AboutBox *aboutBox() const { return about_; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // StatusPanels: panel 1 and panel 2 of the status bar.
    QString text(int panel) const override;
    void setText(int panel, const QString &text) override;

    void buildMenus();
    // Loads the serial settings window, hidden, when it is not loaded.
    FM_SerialSetting &loadSerialSetting();

    Console &console_;
    SerialPort &port_;
    Reporter &reporter_;
    std::unique_ptr<ImageLists> images_;
    SlotPanel *panel_ = nullptr;
    std::array<StatusPanel *, 2> statusPanels_{};
    QMenu *fileMenu_ = nullptr;
    QMenu *optionMenu_ = nullptr;
    QMenu *viewMenu_ = nullptr;
    FM_TableSetting *tableSetting_ = nullptr;   // a child: hidden, not destroyed, on close
    QPointer<FM_SerialSetting> serialSetting_;  // a child, deleted when it closes
    FM_Parameter *parameter_ = nullptr;         // a child: hidden, not destroyed, on close
    AboutBox *about_ = nullptr;                 // a child: hidden, not destroyed, on close
    bool unloaded_ = false;
    // Before what shows its histories and counters, so it goes after them.
    std::unique_ptr<ConsoleCore> core_;
    // Last, so it goes first: it stops watching the line before the rest goes.
    std::unique_ptr<LineHealth> health_;
    // Before the core goes: the tracker reads its counters and watches its line.
    std::unique_ptr<ConsoleAlarms> alarms_;
    // Last, so it goes first: its windows read the console's state.
    std::unique_ptr<TrendWindows> trends_;
};

} // namespace orbalis
