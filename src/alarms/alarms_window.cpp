#include "alarms_window.h"

#include "alarm_tracker.h"
#include "current_alarms_model.h"
#include "journal_csv.h"
#include "journal_model.h"
#include "panel_alarms.h"
#include "shelve_dialog.h"

#include "base/error_trap.h"
#include "base/twips.h"
#include "journal/journal_writer.h"
#include "state/console.h"
#include "widgets/accessible_names.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
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
constexpr int RowHeight = 300;
constexpr int AlarmWidths[CurrentAlarmsModel::ColumnCount] = {2700, 600, 1150, 1600, 1600, 2600, 1200};
constexpr int JournalWidths[JournalModel::ColumnCount] = {2700, 1000, 600,  1400, 1500, 1300,
                                                          800,  800,  2400, 1100, 2700};
constexpr int SearchDelayMs = 300;
constexpr int FollowDelayMs = 200;

QString uniqueReaderName()
{
    static std::atomic<int> next{0};
    return QStringLiteral("orbalis-journal-reader-") + QString::number(++next);
}

QTableView *tableView(QAbstractItemModel *model, const QString &name, const int *widths, int columns, QWidget *parent)
{
    auto *view = new QTableView(parent);
    view->setModel(model);
    view->setAccessibleName(name);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(twipsToPixels(RowHeight));
    for (int c = 0; c < columns; ++c)
        view->setColumnWidth(c, twipsToPixels(widths[c]));
    view->horizontalHeader()->setStretchLastSection(true);
    return view;
}

// A label and the control it names, for a row of controls.
template <class Control>
Control *labelled(const QString &caption, Control *control, QHBoxLayout *row, QWidget *parent)
{
    auto *label = new QLabel(caption, parent);
    label->setBuddy(control);
    if (auto *combo = qobject_cast<QComboBox *>(control))
        nameComboBox(combo, caption);
    else
        control->setAccessibleName(caption);
    row->addWidget(label);
    row->addWidget(control);
    return control;
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

    for (QTimer *t : {&alarmsLater_, &rowsLater_, &searchLater_})
        t->setSingleShot(true);
    alarmsLater_.setInterval(0);
    rowsLater_.setInterval(FollowDelayMs);
    searchLater_.setInterval(SearchDelayMs);
    connect(&alarmsLater_, &QTimer::timeout, this, &AlarmsWindow::refreshAlarms);
    connect(&rowsLater_, &QTimer::timeout, this, &AlarmsWindow::takeNewRows);
    connect(&searchLater_, &QTimer::timeout, this, &AlarmsWindow::applyFilter);
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
    splitter->addWidget(buildJournal());
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
        tableView(current_, QStringLiteral("Current alarms"), AlarmWidths, CurrentAlarmsModel::ColumnCount, tabs_);
    shelvedView_ =
        tableView(shelved_, QStringLiteral("Shelved alarms"), AlarmWidths, CurrentAlarmsModel::ColumnCount, tabs_);
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

    const QDateTime today(QDate::currentDate(), QTime(0, 0));
    const auto timeControls = [&](const QString &caption, QCheckBox *&on, QDateTimeEdit *&edit, const QDateTime &at) {
        on = new QCheckBox(caption, box);
        on->setAccessibleName(caption);
        edit = new QDateTimeEdit(at, box);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
        edit->setCalendarPopup(true);
        edit->setAccessibleName(caption + QStringLiteral(" time"));
        edit->setEnabled(false);
        connect(on, &QCheckBox::toggled, edit, &QWidget::setEnabled);
        connect(on, &QCheckBox::toggled, this, &AlarmsWindow::applyFilter);
        connect(edit, &QDateTimeEdit::dateTimeChanged, this, [this] { searchLater_.start(); });
        row->addWidget(on);
        row->addWidget(edit);
    };
    timeControls(QStringLiteral("From"), fromOn_, from_, today);
    timeControls(QStringLiteral("To"), toOn_, to_, today.addDays(1));
    search_ = labelled(QStringLiteral("Search"), new QLineEdit(box), row, box);
    search_->setClearButtonEnabled(true);
    auto *exportButton = new QPushButton(QStringLiteral("Export CSV..."), box);
    exportButton->setAccessibleName(exportButton->text());
    connect(exportButton, &QPushButton::clicked, this, &AlarmsWindow::askAndExport);
    buttons_.push_back(exportButton);
    row->addWidget(exportButton);
    layout->addLayout(row);

    journalView_ = tableView(journal_, QStringLiteral("Journal"), JournalWidths, JournalModel::ColumnCount, box);
    // By rows: rows put on top move the view by as many steps (takeNewRows).
    journalView_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    layout->addWidget(journalView_);
    note_ = new QLabel(box);
    nameByRoleAndText(note_, QStringLiteral("Journal note"));
    layout->addWidget(note_);

    connect(controller_, &QComboBox::activated, this, &AlarmsWindow::applyFilter);
    connect(alarm_, &QComboBox::activated, this, &AlarmsWindow::applyFilter);
    connect(search_, &QLineEdit::textChanged, this, [this] { searchLater_.start(); });
    connect(search_, &QLineEdit::returnPressed, this, &AlarmsWindow::applyFilter);
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
    if (fromOn_->isChecked())
        f.fromMs = from_->dateTime().toMSecsSinceEpoch();
    if (toOn_->isChecked())
        f.toMs = to_->dateTime().toMSecsSinceEpoch();
    f.text = search_->text().trimmed();
    return f;
}

void AlarmsWindow::applyFilter()
{
    searchLater_.stop();
    journal_->setFilter(chosenFilter());
    setNote(journal_->problem().isEmpty() ? QString()
                                          : QStringLiteral("The journal cannot be read: ") + journal_->problem());
}

void AlarmsWindow::reopenJournal()
{
    journal_->setConnection({});
    closeJournalConnection(connection_);
    if (!openJournalReader(connection_, writer_.path())) {
        closeJournalConnection(connection_);
        setNote(QStringLiteral("No journal to show yet: ") + QDir::toNativeSeparators(writer_.path()));
        return;
    }
    fillControllers();
    journal_->setFilter(chosenFilter());
    journal_->setConnection(connection_);
    setNote(journal_->problem().isEmpty() ? QString()
                                          : QStringLiteral("The journal cannot be read: ") + journal_->problem());
}

void AlarmsWindow::fillControllers()
{
    std::set<int> ids;
    for (std::uint8_t id : console_.slots.SlotId)
        if (id != 0)
            ids.insert(id);
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
    const int chosen =
        controller_->currentIndex() >= 0 ? controller_->currentData().toInt() : JournalFilter::AnyController;
    controller_->clear();
    controller_->addItem(QStringLiteral("All controllers"), JournalFilter::AnyController);
    controller_->addItem(QStringLiteral("Line"), JournalFilter::LineOnly);
    for (int id : ids) {
        QString name;
        for (int k = 0; k < SlotCount; ++k)
            if (console_.slots.SlotId[std::size_t(k)] == id)
                name = console_.settings.panel.NameText[std::size_t(k)].trimmed();
        controller_->addItem(
            name.isEmpty() ? QStringLiteral("ID %1").arg(id) : QStringLiteral("ID %1 %2").arg(id).arg(name), id);
    }
    const int at = controller_->findData(chosen);
    controller_->setCurrentIndex(at >= 0 ? at : 0);
}

void AlarmsWindow::takeNewRows()
{
    QScrollBar *bar = journalView_->verticalScrollBar();
    const int scrolled = bar->value();
    const int added = journal_->fetchNewer();
    // The rows in view stay in view while new ones come on top.
    if (added > 0 && scrolled > 0)
        bar->setValue(scrolled + added);
}

void AlarmsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    fillControllers();
    refreshAlarms();
}

bool AlarmsWindow::exportCsv(const QString &path)
{
    ErrorTrap trap(reporter_, QStringLiteral("exportJournalCsv"));
    qint64 rows = 0;
    const bool done = trap.step([&] {
        if (!QSqlDatabase::contains(connection_))
            throw Error(FileNotFound, writer_.path());
        rows = exportJournalCsv(connection_, journal_->filter(), path);
    });
    if (done)
        setNote(QStringLiteral("Exported %1 rows to %2").arg(rows).arg(QDir::toNativeSeparators(path)));
    return done;
}

void AlarmsWindow::askAndExport()
{
    const QString suggested =
        QDir(console_.programDir)
            .filePath(QStringLiteral("Alarm journal ")
                      + QDateTime::currentDateTime().toString(QStringLiteral("yyMMdd-HHmm")) + QStringLiteral(".csv"));
    const QString path = chooseSaveFile(QStringLiteral("Export CSV"), QStringLiteral("CSV file (*.csv)"), suggested);
    if (!path.isEmpty())
        exportCsv(path);
}

} // namespace orbalis
