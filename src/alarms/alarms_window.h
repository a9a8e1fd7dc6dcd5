#pragma once

#include "alarm_change.h"
#include "journal_filter.h"
#include "journal_filter_controls.h"

#include <QString>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;

namespace orbalis {

struct Console;
class AlarmTracker;
class CurrentAlarmsModel;
class JournalModel;
class JournalWriter;
class ParameterChangesPanel;
class PanelAlarms;
class Reporter;

// "Alarms": the current alarms on top (colour by state, newest first) with
// the shelved ones on a second tab, the operator's actions with an optional
// comment, and the journal below with its filters, a text search and the
// export; beside it the tab "Parameter changes", every parameter write. A
// line at the top states an alarm flood or chattering alarms. It does not
// block the main window; closing it hides it.
class AlarmsWindow : public QWidget, public AlarmObserver {
    Q_OBJECT
public:
    struct Shelving {
        std::chrono::minutes duration;
        QString comment;
    };

    AlarmsWindow(const Console &console, AlarmTracker &tracker, PanelAlarms &panelAlarms, JournalWriter &journal,
                 Reporter &reporter, QWidget *parent = nullptr);
    ~AlarmsWindow() override;

    static QString caption() { return QStringLiteral("Alarms"); }

    // The buttons' actions; each takes the comment box's text and empties it.
    void acknowledgeSelected();
    void acknowledgeAll();
    void shelveSelected();
    void unshelveSelected();
    // The journal shows what the filter controls choose, from the newest row.
    void applyFilter();
    JournalFilter chosenFilter() const;
    // Writes the rows the filter lets through; false (and reported) on failure.
    bool exportCsv(const QString &path);
    // The journal's read connection anew (the writer opened a new journal).
    void reopenJournal();

    // Asked before shelving (the dialog); nullopt: cancelled. Tests replace it.
    std::function<std::optional<Shelving>(const QString &alarms)> askShelving;
    // The save dialog; an empty name: cancelled. Tests replace it.
    std::function<QString(const QString &title, const QString &filter, const QString &suggested)> chooseSaveFile;

    QString rateLine() const;
    // "Alarm flood: 12 new alarms in the last 10 minutes. Chattering: Oven1 (ID 1) Alarm 1."
    static QString rateText(const AlarmTracker &tracker);

    QTableView *currentView() const { return currentView_; }
    QTableView *shelvedView() const { return shelvedView_; }
    QTableView *journalView() const { return journalView_; }
    QTabWidget *journalTabs() const { return journalTabs_; }
    ParameterChangesPanel &parameterChanges() const { return *changes_; }
    QTabWidget *alarmTabs() const { return tabs_; }
    CurrentAlarmsModel &currentModel() const { return *current_; }
    CurrentAlarmsModel &shelvedModel() const { return *shelved_; }
    JournalModel &journalModel() const { return *journal_; }
    QLineEdit *commentBox() const { return comment_; }
    QCheckBox *soundBox() const { return sound_; }
    QComboBox *controllerBox() const { return controller_; }
    QComboBox *alarmBox() const { return alarm_; }
    QCheckBox *fromBox() const { return filterControls_->fromBox(); }
    QCheckBox *toBox() const { return filterControls_->toBox(); }
    QDateTimeEdit *fromEdit() const { return filterControls_->fromEdit(); }
    QDateTimeEdit *toEdit() const { return filterControls_->toEdit(); }
    QLineEdit *searchBox() const { return filterControls_->searchBox(); }
    QPushButton *button(const QString &caption) const;
    QString note() const;

    void alarmChanged(const AlarmChange &change) override;
    void alarmRatesChanged() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void build();
    QWidget *buildAlarms();
    QWidget *buildJournal();
    void refreshAlarms();
    void updateButtons();
    void fillControllers();
    void takeNewRows();
    std::vector<AlarmKey> selectedKeys(QTableView *view, const CurrentAlarmsModel &model) const;
    QString takeComment();
    void setNote(const QString &text);
    void askAndExport();

    const Console &console_;
    AlarmTracker &tracker_;
    PanelAlarms &panelAlarms_;
    JournalWriter &writer_;
    Reporter &reporter_;
    const QString connection_;
    CurrentAlarmsModel *current_;
    CurrentAlarmsModel *shelved_;
    JournalModel *journal_;

    QLabel *rates_ = nullptr;
    QTabWidget *tabs_ = nullptr;
    QTableView *currentView_ = nullptr;
    QTableView *shelvedView_ = nullptr;
    QLineEdit *comment_ = nullptr;
    QCheckBox *sound_ = nullptr;
    std::vector<QPushButton *> buttons_;
    QComboBox *controller_ = nullptr;
    QComboBox *alarm_ = nullptr;
    JournalFilterControls *filterControls_ = nullptr;
    QTableView *journalView_ = nullptr;
    QTabWidget *journalTabs_ = nullptr;
    ParameterChangesPanel *changes_ = nullptr;
    QLabel *note_ = nullptr;
    // Changes come in bursts: the lists and the journal follow once per burst.
    QTimer alarmsLater_;
    QTimer rowsLater_;
};

} // namespace orbalis
