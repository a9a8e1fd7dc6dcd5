#include "alarms_window.h"

#include "alarm_tracker.h"
#include "current_alarms_model.h"
#include "journal_controls.h"
#include "journal_csv.h"
#include "journal_filter_controls.h"
#include "journal_model.h"
#include "panel_alarms.h"
#include "parameter_changes_panel.h"
#include "shelve_dialog.h"

#include "base/error.h"
#include "base/twips.h"
#include "journal/journal_writer.h"
#include "state/console.h"
#include "widgets/accessible_names.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <atomic>
#include <set>

namespace orbalis {

namespace {

// Sizes in twips.
constexpr int WindowWidth = 13500;
constexpr int WindowHeight = 10500;
constexpr int AlarmWidths[CurrentAlarmsModel::ColumnCount] = {2700, 600, 1150, 1600, 1600, 2600, 1200};
constexpr int JournalWidths[JournalModel::ColumnCount] = {2700, 1000, 600,  1400, 1500, 1300,
                                                          800,  800,  2400, 1100, 2700};
constexpr int FollowDelayMs = 200;

QString uniqueReaderName()
{
    static std::atomic<int> next{0};
    return QStringLiteral("orbalis-journal-reader-") + QString::number(++next);
}

QString alarmsText(const std::vector<AlarmTracker::Alarm> &alarms, const std::vector<AlarmKey> &keys)
{
    QStringList names;
    for (const AlarmKey &key : keys)
        for (const auto &a : alarms)
            if (a.key == key)
                names << (key.isLine() ? alarmName(key.kind)
                                       : QStringLiteral("%1 (ID %2) %3")
                                             .arg(a.slotName)
                                             .arg(key.controllerId)
                                             .arg(alarmName(key.kind)));
    return names.join(QStringLiteral(", "));
}

std::optional<AlarmsWindow::Shelving> askWithDialog(QWidget *parent, const QString &alarms)
{
    ShelveDialog dialog(alarms, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return AlarmsWindow::Shelving{dialog.duration(), dialog.comment()};
}

} // namespace

AlarmsWindow::AlarmsWindow(const Console &console, AlarmTracker &tracker, PanelAlarms &panelAlarms,
                           JournalWriter &journal, Reporter &reporter, QWidget *parent)
    : QWidget(parent, Qt::Window),
      console_(console),
      tracker_(tracker),
      panelAlarms_(panelAlarms),
      writer_(journal),
      reporter_(reporter),
      connection_(uniqueReaderName()),
      current_(new CurrentAlarmsModel(tracker, CurrentAlarmsModel::Shows::Current, this)),
      shelved_(new CurrentAlarmsModel(tracker, CurrentAlarmsModel::Shows::Shelved, this)),
      journal_(new JournalModel(this))
{
    setWindowTitle(caption());
    setAccessibleName(caption());
    askShelving = [this](const QString &alarms) { return askWithDialog(this, alarms); };
    chooseSaveFile = [this](const QString &title, const QString &filter, const QString &suggested) {
        return QFileDialog::getSaveFileName(this, title, suggested, filter);
    };
    build();
    resize(twipsToPixels(WindowWidth), twipsToPixels(WindowHeight));

    for (QTimer *t : {&alarmsLater_, &rowsLater_})
        t->setSingleShot(true);
    alarmsLater_.setInterval(0);
    rowsLater_.setInterval(FollowDelayMs);
    connect(&alarmsLater_, &QTimer::timeout, this, &AlarmsWindow::refreshAlarms);
    connect(&rowsLater_, &QTimer::timeout, this, &AlarmsWindow::takeNewRows);
    // The writer's thread tells; this follows on its own thread.
    connect(&writer_, &JournalWriter::committed, this, [this] { rowsLater_.start(); });
    connect(&writer_, &JournalWriter::opened, this, &AlarmsWindow::reopenJournal);

    tracker_.addObserver(this);
    reopenJournal();
    refreshAlarms();
}

AlarmsWindow::~AlarmsWindow()
{
    tracker_.removeObserver(this);
    journal_->setConnection({});
    changes_->setConnection({});
    closeJournalConnection(connection_);
}

void AlarmsWindow::build()
{
    auto *layout = new QVBoxLayout(this);
    rates_ = new QLabel(this);
    nameByRoleAndText(rates_, QStringLiteral("Alarm flood and chattering"));
    rates_->setWordWrap(true);
    QFont bold = rates_->font();
    bold.setBold(true);
    rates_->setFont(bold);
    layout->addWidget(rates_);

    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(buildAlarms());
    // The alarm journal and the parameter writes: two tables of one journal.
    journalTabs_ = new QTabWidget(this);
    journalTabs_->setAccessibleName(QStringLiteral("Journal and parameter changes"));
    journalTabs_->addTab(buildJournal(), QStringLiteral("Alarm journal"));
    changes_ = new ParameterChangesPanel(console_, reporter_, journalTabs_);
    journalTabs_->addTab(changes_, QStringLiteral("Parameter changes"));
    splitter->addWidget(journalTabs_);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 2);
    layout->addWidget(splitter, 1);
}

QWidget *AlarmsWindow::buildAlarms()
{
    auto *box = new QGroupBox(QStringLiteral("Current alarms"), this);
    box->setAccessibleName(box->title());
    auto *layout = new QVBoxLayout(box);
    tabs_ = new QTabWidget(box);
    tabs_->setAccessibleName(QStringLiteral("Current and shelved alarms"));
    currentView_ =
        journalTableView(current_, QStringLiteral("Current alarms"), AlarmWidths, CurrentAlarmsModel::ColumnCount, tabs_);
    shelvedView_ =
        journalTableView(shelved_, QStringLiteral("Shelved alarms"), AlarmWidths, CurrentAlarmsModel::ColumnCount, tabs_);
    tabs_->addTab(currentView_, QStringLiteral("Current"));
    tabs_->addTab(shelvedView_, QStringLiteral("Shelved"));
    layout->addWidget(tabs_);

    auto *row = new QHBoxLayout;
    comment_ = labelled(QStringLiteral("Comment"), new QLineEdit(box), row, box);
    comment_->setPlaceholderText(QStringLiteral("optional, kept with the action"));
    const struct {
        const char *caption;
        void (AlarmsWindow::*action)();
    } actions[] = {
        {"Acknowledge", &AlarmsWindow::acknowledgeSelected},
        {"Acknowledge all", &AlarmsWindow::acknowledgeAll},
        {"Shelve...", &AlarmsWindow::shelveSelected},
        {"Unshelve", &AlarmsWindow::unshelveSelected},
    };
    for (const auto &a : actions) {
        auto *b = new QPushButton(QString::fromLatin1(a.caption), box);
        b->setAccessibleName(b->text());
        connect(b, &QPushButton::clicked, this, a.action);
        buttons_.push_back(b);
        row->addWidget(b);
    }
    row->addStretch(1);
    sound_ = new QCheckBox(QStringLiteral("Sound"), box);
    sound_->setAccessibleName(sound_->text());
    sound_->setChecked(panelAlarms_.soundOn());
    connect(sound_, &QCheckBox::toggled, this, [this](bool on) { panelAlarms_.setSoundOn(on); });
    row->addWidget(sound_);
    layout->addLayout(row);

    for (QTableView *view : {currentView_, shelvedView_})
        connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, &AlarmsWindow::updateButtons);
    connect(tabs_, &QTabWidget::currentChanged, this, &AlarmsWindow::updateButtons);
    return box;
}

QWidget *AlarmsWindow::buildJournal()
{
    auto *box = new QGroupBox(QStringLiteral("Journal"), this);
    box->setAccessibleName(box->title());
    auto *layout = new QVBoxLayout(box);
    auto *row = new QHBoxLayout;
    controller_ = labelled(QStringLiteral("Controller"), new QComboBox(box), row, box);
    alarm_ = labelled(QStringLiteral("Alarm"), new QComboBox(box), row, box);
    alarm_->addItem(QStringLiteral("All alarms"), QString());
    for (AlarmKind kind : AllAlarmKinds)
        alarm_->addItem(alarmName(kind), alarmName(kind));

    filterControls_ = new JournalFilterControls(row, box);
    connect(filterControls_, &JournalFilterControls::filterChosen, this, &AlarmsWindow::applyFilter);
    connect(filterControls_, &JournalFilterControls::exportAsked, this, &AlarmsWindow::askAndExport);
    buttons_.push_back(filterControls_->exportButton());
    layout->addLayout(row);

    journalView_ = journalTableView(journal_, QStringLiteral("Journal"), JournalWidths, JournalModel::ColumnCount, box);
    // By rows: rows put on top move the view by as many steps (takeNewRows).
    journalView_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    layout->addWidget(journalView_);
    note_ = new QLabel(box);
    nameByRoleAndText(note_, QStringLiteral("Journal note"));
    layout->addWidget(note_);

    connect(controller_, &QComboBox::activated, this, &AlarmsWindow::applyFilter);
    connect(alarm_, &QComboBox::activated, this, &AlarmsWindow::applyFilter);
    return box;
}

QPushButton *AlarmsWindow::button(const QString &caption) const
{
    for (QPushButton *b : buttons_)
        if (b->text() == caption)
            return b;
    return nullptr;
}

QString AlarmsWindow::rateLine() const
{
    return rates_->text();
}

QString AlarmsWindow::note() const
{
    return note_->text();
}

void AlarmsWindow::setNote(const QString &text)
{
    note_->setText(text);
}

QString AlarmsWindow::rateText(const AlarmTracker &tracker)
{
    const AlarmRates &rates = tracker.rates();
    QStringList parts;
    if (rates.flood())
        parts << QStringLiteral("Alarm flood: %1 new alarms in the last 10 minutes.").arg(rates.newAlarms());
    QStringList chattering;
    const auto current = tracker.current();
    const auto shelved = tracker.shelved();
    for (const AlarmKey &key : rates.chatteringAlarms()) {
        QString name;
        for (const auto *list : {&current, &shelved})
            for (const auto &a : *list)
                if (a.key == key)
                    name = a.slotName;
        chattering << (key.isLine()
                           ? alarmName(key.kind)
                           : QStringLiteral("%1 (ID %2) %3").arg(name).arg(key.controllerId).arg(alarmName(key.kind)));
    }
    if (!chattering.isEmpty())
        parts << QStringLiteral("Chattering: ") + chattering.join(QStringLiteral(", ")) + u'.';
    if (parts.isEmpty())
        return QStringLiteral("No alarm flood, no chattering alarm.");
    return parts.join(u' ');
}

void AlarmsWindow::alarmChanged(const AlarmChange &)
{
    alarmsLater_.start();
}

void AlarmsWindow::alarmRatesChanged()
{
    alarmsLater_.start();
}

void AlarmsWindow::refreshAlarms()
{
    current_->refresh();
    shelved_->refresh();
    tabs_->setTabText(1,
                      shelved_->rowCount() > 0 ? QStringLiteral("Shelved (%1)").arg(shelved_->rowCount())
                                               : QStringLiteral("Shelved"));
    rates_->setText(rateText(tracker_));
    updateButtons();
}

void AlarmsWindow::updateButtons()
{
    const bool onCurrent = tabs_->currentWidget() == currentView_;
    const auto chosen = selectedKeys(currentView_, *current_);
    bool anyWaiting = false;
    for (const AlarmKey &key : chosen)
        anyWaiting = anyWaiting || isUnacknowledged(tracker_.state(key));
    button(QStringLiteral("Acknowledge"))->setEnabled(onCurrent && anyWaiting);
    button(QStringLiteral("Acknowledge all"))->setEnabled(tracker_.anyUnacknowledged());
    button(QStringLiteral("Shelve..."))->setEnabled(onCurrent && !chosen.empty());
    button(QStringLiteral("Unshelve"))->setEnabled(!onCurrent && !selectedKeys(shelvedView_, *shelved_).empty());
}

std::vector<AlarmKey> AlarmsWindow::selectedKeys(QTableView *view, const CurrentAlarmsModel &model) const
{
    std::vector<AlarmKey> keys;
    for (const QModelIndex &index : view->selectionModel()->selectedRows())
        if (index.row() < model.rowCount())
            keys.push_back(model.alarmAt(index.row()).key);
    return keys;
}

QString AlarmsWindow::takeComment()
{
    const QString text = comment_->text().trimmed();
    comment_->clear();
    return text;
}

void AlarmsWindow::acknowledgeSelected()
{
    const auto keys = selectedKeys(currentView_, *current_);
    const QString comment = takeComment();
    for (const AlarmKey &key : keys)
        tracker_.acknowledge(key, comment);
    refreshAlarms();
}

void AlarmsWindow::acknowledgeAll()
{
    tracker_.acknowledgeAll(takeComment());
    refreshAlarms();
}

void AlarmsWindow::shelveSelected()
{
    const auto keys = selectedKeys(currentView_, *current_);
    if (keys.empty())
        return;
    const auto shelving = askShelving(alarmsText(tracker_.current(), keys));
    if (!shelving)
        return;
    // The dialog's comment, else the one in the window's box.
    QString comment = shelving->comment.trimmed();
    const QString boxed = takeComment();
    if (comment.isEmpty())
        comment = boxed;
    for (const AlarmKey &key : keys)
        tracker_.shelve(key, shelving->duration, comment);
    refreshAlarms();
}

void AlarmsWindow::unshelveSelected()
{
    const auto keys = selectedKeys(shelvedView_, *shelved_);
    const QString comment = takeComment();
    for (const AlarmKey &key : keys)
        tracker_.unshelve(key, comment);
    refreshAlarms();
}

JournalFilter AlarmsWindow::chosenFilter() const
{
    JournalFilter f;
    f.controllerId =
        controller_->currentIndex() >= 0 ? controller_->currentData().toInt() : JournalFilter::AnyController;
    f.alarm = alarm_->currentData().toString();
    f.fromMs = filterControls_->fromMs();
    f.toMs = filterControls_->toMs();
    f.text = filterControls_->searchText();
    return f;
}

void AlarmsWindow::applyFilter()
{
    filterControls_->stopWaiting();
    journal_->setFilter(chosenFilter());
    setNote(journalProblemNote(journal_->problem()));
}

void AlarmsWindow::reopenJournal()
{
    journal_->setConnection({});
    changes_->setConnection({});
    closeJournalConnection(connection_);
    if (!openJournalReader(connection_, writer_.path())) {
        closeJournalConnection(connection_);
        setNote(QStringLiteral("No journal to show yet: ") + QDir::toNativeSeparators(writer_.path()));
        return;
    }
    fillControllers();
    journal_->setFilter(chosenFilter());
    journal_->setConnection(connection_);
    changes_->setConnection(connection_);
    setNote(journalProblemNote(journal_->problem()));
}

void AlarmsWindow::fillControllers()
{
    std::set<int> ids;
    if (QSqlDatabase::contains(connection_)) {
        // The controllers in the journal, one index step each.
        QSqlQuery q(QSqlDatabase::database(connection_, false));
        if (q.exec(
                QStringLiteral("WITH RECURSIVE c(id) AS (SELECT min(controller_id) FROM alarm_events UNION ALL "
                               "SELECT (SELECT min(controller_id) FROM alarm_events WHERE controller_id > c.id) FROM c "
                               "WHERE c.id IS NOT NULL) SELECT id FROM c WHERE id IS NOT NULL")))
            while (q.next())
                ids.insert(q.value(0).toInt());
    }
    fillControllerBox(controller_, console_, ids, true);
}

void AlarmsWindow::takeNewRows()
{
    changes_->takeNewRows();
    takeRowsOnTop(journalView_, [this] { return journal_->fetchNewer(); });
}

void AlarmsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    fillControllers();
    changes_->fillControllers();
    refreshAlarms();
}

bool AlarmsWindow::exportCsv(const QString &path)
{
    return exportJournalRows(
        reporter_, QStringLiteral("exportJournalCsv"), path,
        [&] {
            if (!QSqlDatabase::contains(connection_))
                throw Error(FileNotFound, writer_.path());
            return exportJournalCsv(connection_, journal_->filter(), path);
        },
        [this](const QString &text) { setNote(text); });
}

void AlarmsWindow::askAndExport()
{
    const QString path = askExportPath(chooseSaveFile, console_.programDir, QStringLiteral("Alarm journal"));
    if (!path.isEmpty())
        exportCsv(path);
}

} // namespace orbalis
