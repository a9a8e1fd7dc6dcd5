#pragma once

#include "journal_filter_controls.h"
#include "parameter_changes_model.h"

#include <QString>
#include <QWidget>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace orbalis {

struct Console;
class Reporter;

// The tab "Parameter changes" of the Alarms window: the journal's parameter
// writes, newest first, with filters by controller, origin, outcome and
// time, a text search, and the export of what the filters let through.
class ParameterChangesPanel : public QWidget {
    Q_OBJECT
public:
    ParameterChangesPanel(const Console &console, Reporter &reporter, QWidget *parent = nullptr);

    // Reads through this read connection of the window; empty for none.
    void setConnection(const QString &connection);
    // Rows committed since: on top.
    void takeNewRows();
    void applyFilter();
    ParameterChangesFilter chosenFilter() const;
    // The controllers of the slots and of the journal's writes.
    void fillControllers();
    // Writes the rows the filter lets through; false (and reported) on failure.
    bool exportCsv(const QString &path);

    // The save dialog; an empty name: cancelled. Tests replace it.
    std::function<QString(const QString &title, const QString &filter, const QString &suggested)> chooseSaveFile;

    ParameterChangesModel &model() const { return *model_; }
    QTableView *view() const { return view_; }
    QComboBox *controllerBox() const { return controller_; }
    QComboBox *originBox() const { return origin_; }
    QComboBox *outcomeBox() const { return outcome_; }
    // From, To, Search and the export.
    JournalFilterControls &filterControls() const { return *controls_; }
    QPushButton *exportButton() const { return controls_->exportButton(); }
    QString note() const;

private:
    void askAndExport();
    void showProblem();

    const Console &console_;
    Reporter &reporter_;
    QString connection_;
    ParameterChangesModel *model_;
    QComboBox *controller_ = nullptr;
    QComboBox *origin_ = nullptr;
    QComboBox *outcome_ = nullptr;
    JournalFilterControls *controls_ = nullptr;
    QTableView *view_ = nullptr;
    QLabel *note_ = nullptr;
};

} // namespace orbalis
