#pragma once

#include "core/write_cycle.h"

#include "base/status_panels.h"
#include "state/console.h"

#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <vector>

class QProgressBar;
class QPushButton;
class QStatusBar;
class QTabWidget;

namespace orbalis {

class StatusPanel;

class Error;
class FileDialogs;
class FM_Compare;
class FM_CopyTo;
class ParameterControls;
class Reporter;

// The parameter window: every parameter and live value of one controller,
// the controller of slot Para_Slot. Opening it asks the polling cycle for a
// read of all parameters; Enter in a box writes that parameter (WriteCycle);
// "Open File" loads a parameter file and downloads it whole, "Save File"
// saves what the window shows. "Compare File..." and "Restore Backup..."
// read the controller and show in the window "Compare" where it differs
// from a file or a backup, whose differences it may then write; "Copy
// to..." writes what the window shows into other controllers where they
// differ. Every download backs the controller up first and reads it back
// after (WriteCycle).
//
// Lifetime: created on first use and kept; closing hides it (the unload:
// Para_Slot 16, and a running write is stopped). Every opening loads it
// afresh: initial texts, panel 1, a read-all.
class FM_Parameter : public QWidget,
                     public ParameterView,
                     private StatusPanels,
                     private DownloadView,
                     private CompareView {
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
    // 0 "Read All Parameters", 1 "Open File", 2 "Save File", 3 "Compare
    // File...", 4 "Restore Backup...", 5 "Copy to...".
    void Command_None_Click(int index);
    // Text_Para_KeyDown and Combo_Para_KeyDown: Enter writes the parameter.
    void Para_KeyDown(int address, int key);

    // The file dialogs to use instead of QFileDialog (tests).
    void setFileDialogs(FileDialogs &dialogs);
    // The window "Compare" and the window "Copy to", once they were opened.
    FM_Compare *compareWindow() const { return compare_; }
    FM_CopyTo *copyWindow() const { return copy_; }

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
    // DownloadView
    void setProgress(int value) override;
    void controllerDone(const DownloadResult &result) override;
    void downloadEnded(bool completed) override;
    // CompareView
    void compareRead(const std::optional<ControllerParameters> &controller, const QString &failure) override;

    void build();
    void setFormHeight(int twips);
    void placeStatusBar();
    void readAllParameters();
    void openFile();
    void saveFile();
    void compareFile();
    void restoreBackup();
    void copyTo();
    void startCopy(const std::vector<DownloadTarget> &targets);
    void writeDifferences();
    // A parameter file chosen and checked: its 109 texts, or nullopt (told why).
    std::optional<QStringList> chooseParameterFile(const QString &title, const QString &filter,
                                                   const QString &folder, const QString &consequence);
    void compareWith(const QString &path, const QStringList &texts, WriteOrigin origin);
    // The window during a download or a compare's read: buttons, height.
    void lockForDownload(bool locked, bool showProgress);
    bool refuseWhileWriting();
    void refuseFile(const QString &title, const QString &path, const Error &e, const QString &consequence);
    void closeHelpers();
    void unload();

    Console &console_;
    WriteCycle &writeCycle_;
    Reporter &reporter_;
    std::unique_ptr<FileDialogs> ownDialogs_;
    FileDialogs *dialogs_ = nullptr;

    QTabWidget *tabs_ = nullptr;
    ParameterControls *controls_ = nullptr;
    std::array<QPushButton *, 6> buttons_{};
    QProgressBar *progress_ = nullptr;
    QStatusBar *statusBar_ = nullptr;
    std::array<StatusPanel *, 2> statusPanels_{};

    int slot_ = NoParameterSlot;
    int formHeight_ = 0;
    bool open_ = false;
    QString parFileName_;

    // A compare whose read is awaited.
    struct PendingCompare {
        QString path;
        QStringList texts;
        WriteOrigin origin;
    };
    std::optional<PendingCompare> pendingCompare_;
    FM_Compare *compare_ = nullptr;   // created on first use; a child
    FM_CopyTo *copy_ = nullptr;       // created on first use; a child
    // Who is told of the download that runs.
    enum class Download { None, File, Differences, Copy };
    Download download_ = Download::None;
};

} // namespace orbalis
