#pragma once

#include "parameter_changes_model.h"

#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
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
    QCheckBox *fromBox() const { return fromOn_; }
    QCheckBox *toBox() const { return toOn_; }
    QDateTimeEdit *fromEdit() const { return from_; }
    QDateTimeEdit *toEdit() const { return to_; }
    QLineEdit *searchBox() const { return search_; }
    QPushButton *exportButton() const { return export_; }
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
    QCheckBox *fromOn_ = nullptr;
    QCheckBox *toOn_ = nullptr;
    QDateTimeEdit *from_ = nullptr;
    QDateTimeEdit *to_ = nullptr;
    QLineEdit *search_ = nullptr;
    QPushButton *export_ = nullptr;
    QTableView *view_ = nullptr;
    QLabel *note_ = nullptr;
    QTimer searchLater_;
};

} // namespace orbalis
