#pragma once

#include "core/write_cycle.h"

#include "base/status_panels.h"
#include "state/console.h"

#include <QWidget>
#include <array>
#include <memory>

class QProgressBar;
class QPushButton;
class QStatusBar;
class QTabWidget;

namespace orbalis {

class StatusPanel;

class Error;
class FileDialogs;
class ParameterControls;
class Reporter;

// The parameter window: every parameter and live value of one controller,
// the controller of slot Para_Slot. Opening it asks the polling cycle for a
// read of all parameters; Enter in a box writes that parameter (WriteCycle);
// "Open File" loads a parameter file and writes it all, "Save File" saves
// what the window shows.
//
// Lifetime: created on first use and kept; closing hides it (the unload:
// Para_Slot 16, and a running write is stopped). Every opening loads it
// afresh: initial texts, panel 1, a read-all.
class FM_Parameter : public QWidget,
                     public ParameterView,
                     private StatusPanels,
                     private WriteAllView,
                     private LineObserver {
    Q_OBJECT
public:
    // The console, the write cycle and the reporter outlive the window.
    FM_Parameter(Console &console, WriteCycle &writeCycle, Reporter &reporter, QWidget *parent = nullptr);
    ~FM_Parameter() override;

    static QString caption() { return QStringLiteral("Parameter"); }
    // "No.3 Slot ; ID = 17"
    static QString slotText(int slot, int id);

    // The menu button of `slot` was clicked (Para_Slot is already `slot`):
    // shows the window for it, or reloads it when it shows another slot.
    // While a write runs the window stays on its slot: beep, false.
    bool openForSlot(int slot);

    // The load: height, panel 1, read-all. Errors go to the common trap.
    void FM_Parameter_Load();
    // 0 "Read All Parameters", 1 "Open File", 2 "Save File".
    void Command_None_Click(int index);
    // Text_Para_KeyDown and Combo_Para_KeyDown: Enter writes the parameter.
    void Para_KeyDown(int address, int key);

    // The file dialogs to use instead of QFileDialog (tests).
    void setFileDialogs(FileDialogs &dialogs) { dialogs_ = &dialogs; }

    int slot() const { return slot_; }
    // Height of the window as designed: 5655 idle, 6180 during a write-all.
    int formHeight() const { return formHeight_; }
    const QString &Par_File_Name() const { return parFileName_; }

    ParameterControls &arrays() const { return *controls_; }
    QTabWidget *SSTab2() const { return tabs_; }
    QPushButton *Command_None(int index) const { return buttons_.at(size_t(index)); }
    QProgressBar *ProgressBar1() const { return progress_; }
    QStatusBar *StatusBar1() const { return statusBar_; }
    // The label of a panel; it may show its text cut short (status().text() is whole).
    StatusPanel *statusPanel(int panel) const { return statusPanels_.at(size_t(panel - 1)); }

    // ParameterView
    ParameterSink &controls() override;
    ParameterSource &source() override;
    StatusPanels &status() override { return *this; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // StatusPanels
    QString text(int panel) const override;
    void setText(int panel, const QString &text) override;
    // WriteAllView
    void setProgress(int value) override;
    void writeAllEnded(const QString &summary) override;
    // LineObserver: the closing read-all of a write-all ends with its summary.
    void requestSent(Exchange, int, std::uint8_t, const QByteArray &) override {}
    void replyJudged(Exchange exchange, int slot, std::uint8_t id, const QByteArray &reply,
                     LineOutcome outcome) override;

    void build();
    void setFormHeight(int twips);
    void placeStatusBar();
    void readAllParameters();
    void openFile();
    void saveFile();
    void refuseFile(const QString &title, const QString &path, const Error &e, const QString &consequence);
    void unload();

    Console &console_;
    WriteCycle &writeCycle_;
    Reporter &reporter_;
    std::unique_ptr<FileDialogs> ownDialogs_;
    FileDialogs *dialogs_ = nullptr;

    QTabWidget *tabs_ = nullptr;
    ParameterControls *controls_ = nullptr;
    std::array<QPushButton *, 3> buttons_{};
    QProgressBar *progress_ = nullptr;
    QStatusBar *statusBar_ = nullptr;
    std::array<StatusPanel *, 2> statusPanels_{};

    int slot_ = NoParameterSlot;
    int formHeight_ = 0;
    bool open_ = false;
    QString parFileName_;
    QString pendingSummary_;
};

} // namespace orbalis
