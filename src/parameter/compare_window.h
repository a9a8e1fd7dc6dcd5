#pragma once

#include "core/compare_report.h"

#include <QWidget>
#include <array>
#include <functional>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace orbalis {

class FileDialogs;
class Reporter;

// The window "Compare": the parameters where the parameter window's
// controller differs from a parameter file (or a backup), with what the
// controller holds and what the file says. "Write differences" writes only
// those (with a backup before and a read to verify after), "Save report..."
// saves the list as a text file, "Close" closes. It writes nothing itself:
// the parameter window does, when asked through onWriteDifferences.
class FM_Compare : public QWidget {
    Q_OBJECT
public:
    // The reporter and the dialogs outlive the window.
    FM_Compare(Reporter &reporter, FileDialogs &dialogs, QWidget *parent = nullptr);

    static QString caption() { return QStringLiteral("Compare"); }

    // Shows the comparison and the window.
    void showComparison(Comparison comparison);
    const Comparison &comparison() const { return comparison_; }

    // "Write differences" was pressed: the owner starts the download.
    std::function<void()> onWriteDifferences;
    // The download of the differences runs (false: it ended, or was refused).
    void setWriting(bool writing);
    // What the download of the differences did: "Written 3 of 3, verified 3".
    void showResult(const QString &text);

    void setFileDialogs(FileDialogs &dialogs) { dialogs_ = &dialogs; }

    // 0 "Write differences", 1 "Save report...", 2 "Close".
    QPushButton *button(int index) const { return buttons_.at(size_t(index)); }
    QTreeWidget *differences() const { return list_; }
    QLabel *headline() const { return headline_; }
    QLabel *note() const { return note_; }
    QLabel *result() const { return result_; }

    void saveReport();

private:
    void build();
    void updateButtons();

    Reporter &reporter_;
    FileDialogs *dialogs_;
    Comparison comparison_;
    bool writing_ = false;
    bool written_ = false;   // the differences were written once: compare again for more
    QLabel *headline_ = nullptr;
    QLabel *note_ = nullptr;
    QTreeWidget *list_ = nullptr;
    QLabel *result_ = nullptr;
    std::array<QPushButton *, 3> buttons_{};
};

} // namespace orbalis
