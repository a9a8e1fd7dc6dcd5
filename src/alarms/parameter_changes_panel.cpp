#include "parameter_changes_panel.h"

#include "journal_controls.h"

#include "base/error_trap.h"
#include "core/parameter_write.h"
#include "state/console.h"
#include "widgets/accessible_names.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QVBoxLayout>
#include <set>

namespace orbalis {

namespace {

// Column widths in twips.
constexpr int Widths[ParameterChangesModel::ColumnCount] = {2700, 1000, 600, 1100, 800, 1300,
                                                            1300, 1400, 2600, 900,  1100};
constexpr int SearchDelayMs = 300;

} // namespace

ParameterChangesPanel::ParameterChangesPanel(const Console &console, Reporter &reporter, QWidget *parent)
    : QWidget(parent), console_(console), reporter_(reporter), model_(new ParameterChangesModel(this))
{
    setAccessibleName(QStringLiteral("Parameter changes"));
    chooseSaveFile = [this](const QString &title, const QString &filter, const QString &suggested) {
        return QFileDialog::getSaveFileName(this, title, suggested, filter);
    };
    auto *layout = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    controller_ = labelled(QStringLiteral("Controller"), new QComboBox(this), row, this);
    origin_ = labelled(QStringLiteral("Origin"), new QComboBox(this), row, this);
    origin_->addItem(QStringLiteral("All origins"), QString());
    for (WriteOrigin o : {WriteOrigin::Window, WriteOrigin::File, WriteOrigin::Restore, WriteOrigin::Copy,
                          WriteOrigin::Mqtt})
        origin_->addItem(writeOriginText(o), writeOriginText(o));
    outcome_ = labelled(QStringLiteral("Outcome"), new QComboBox(this), row, this);
    outcome_->addItem(QStringLiteral("All outcomes"), int(ParameterChangesFilter::Outcome::Any));
    outcome_->addItem(QStringLiteral("accepted"), int(ParameterChangesFilter::Outcome::Accepted));
    outcome_->addItem(QStringLiteral("not accepted"), int(ParameterChangesFilter::Outcome::NotAccepted));

    const QDateTime today(QDate::currentDate(), QTime(0, 0));
    const auto timeControls = [&](const QString &caption, QCheckBox *&on, QDateTimeEdit *&edit, const QDateTime &at) {
        on = new QCheckBox(caption, this);
        on->setAccessibleName(caption);
        edit = new QDateTimeEdit(at, this);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
        edit->setCalendarPopup(true);
        edit->setAccessibleName(caption + QStringLiteral(" time"));
        edit->setEnabled(false);
        connect(on, &QCheckBox::toggled, edit, &QWidget::setEnabled);
        connect(on, &QCheckBox::toggled, this, &ParameterChangesPanel::applyFilter);
        connect(edit, &QDateTimeEdit::dateTimeChanged, this, [this] { searchLater_.start(); });
        row->addWidget(on);
        row->addWidget(edit);
    };
    timeControls(QStringLiteral("From"), fromOn_, from_, today);
    timeControls(QStringLiteral("To"), toOn_, to_, today.addDays(1));
    search_ = labelled(QStringLiteral("Search"), new QLineEdit(this), row, this);
    search_->setClearButtonEnabled(true);
    export_ = new QPushButton(QStringLiteral("Export CSV..."), this);
    export_->setAccessibleName(export_->text());
    connect(export_, &QPushButton::clicked, this, &ParameterChangesPanel::askAndExport);
    row->addWidget(export_);
    layout->addLayout(row);

    view_ = journalTableView(model_, QStringLiteral("Parameter changes"), Widths, ParameterChangesModel::ColumnCount,
                             this);
    view_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    layout->addWidget(view_);
    note_ = new QLabel(this);
    nameByRoleAndText(note_, QStringLiteral("Parameter changes note"));
    layout->addWidget(note_);

    searchLater_.setSingleShot(true);
    searchLater_.setInterval(SearchDelayMs);
    connect(&searchLater_, &QTimer::timeout, this, &ParameterChangesPanel::applyFilter);
    for (QComboBox *box : {controller_, origin_, outcome_})
        connect(box, &QComboBox::activated, this, &ParameterChangesPanel::applyFilter);
    connect(search_, &QLineEdit::textChanged, this, [this] { searchLater_.start(); });
    connect(search_, &QLineEdit::returnPressed, this, &ParameterChangesPanel::applyFilter);
    fillControllers();
}

QString ParameterChangesPanel::note() const
{
    return note_->text();
}

void ParameterChangesPanel::showProblem()
{
    note_->setText(model_->problem().isEmpty() ? QString()
                                               : QStringLiteral("The journal cannot be read: ") + model_->problem());
}

void ParameterChangesPanel::setConnection(const QString &connection)
{
    connection_ = connection;
    if (!connection_.isEmpty())
        fillControllers();
    model_->setFilter(chosenFilter());
    model_->setConnection(connection_);
    showProblem();
}

void ParameterChangesPanel::takeNewRows()
{
    QScrollBar *bar = view_->verticalScrollBar();
    const int scrolled = bar->value();
    const int added = model_->fetchNewer();
    // A controller written for the first time joins the filter's list.
    for (int r = 0; r < added; ++r)
        if (controller_->findData(model_->rowAt(r).controllerId) < 0) {
            fillControllers();
            break;
        }
    // The rows in view stay in view while new ones come on top.
    if (added > 0 && scrolled > 0)
        bar->setValue(scrolled + added);
}

ParameterChangesFilter ParameterChangesPanel::chosenFilter() const
{
    ParameterChangesFilter f;
    f.controllerId = controller_->currentIndex() >= 0 ? controller_->currentData().toInt()
                                                      : ParameterChangesFilter::AnyController;
    f.origin = origin_->currentData().toString();
    f.outcome = ParameterChangesFilter::Outcome(outcome_->currentData().toInt());
    if (fromOn_->isChecked())
        f.fromMs = from_->dateTime().toMSecsSinceEpoch();
    if (toOn_->isChecked())
        f.toMs = to_->dateTime().toMSecsSinceEpoch();
    f.text = search_->text().trimmed();
    return f;
}

void ParameterChangesPanel::applyFilter()
{
    searchLater_.stop();
    model_->setFilter(chosenFilter());
    showProblem();
}

void ParameterChangesPanel::fillControllers()
{
    std::set<int> ids;
    for (std::uint8_t id : console_.slots.SlotId)
        if (id != 0)
            ids.insert(id);
    if (!connection_.isEmpty() && QSqlDatabase::contains(connection_)) {
        QSqlQuery q(QSqlDatabase::database(connection_, false));
        if (q.exec(QStringLiteral("SELECT DISTINCT controller_id FROM ") + parameterWritesTableName()))
            while (q.next())
                ids.insert(q.value(0).toInt());
    }
    const int chosen = controller_->currentIndex() >= 0 ? controller_->currentData().toInt()
                                                        : ParameterChangesFilter::AnyController;
    controller_->clear();
    controller_->addItem(QStringLiteral("All controllers"), ParameterChangesFilter::AnyController);
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

bool ParameterChangesPanel::exportCsv(const QString &path)
{
    ErrorTrap trap(reporter_, QStringLiteral("exportParameterChangesCsv"));
    qint64 rows = 0;
    const bool done = trap.step([&] {
        if (connection_.isEmpty() || !QSqlDatabase::contains(connection_))
            throw Error(FileNotFound, QStringLiteral("no journal to export"));
        rows = exportParameterChangesCsv(connection_, model_->filter(), path);
    });
    if (done)
        note_->setText(QStringLiteral("Exported %1 rows to %2").arg(rows).arg(QDir::toNativeSeparators(path)));
    return done;
}

void ParameterChangesPanel::askAndExport()
{
    const QString suggested =
        QDir(console_.programDir)
            .filePath(QStringLiteral("Parameter changes ")
                      + QDateTime::currentDateTime().toString(QStringLiteral("yyMMdd-HHmm")) + QStringLiteral(".csv"));
    const QString path = chooseSaveFile(QStringLiteral("Export CSV"), QStringLiteral("CSV file (*.csv)"), suggested);
    if (!path.isEmpty())
        exportCsv(path);
}

} // namespace orbalis
