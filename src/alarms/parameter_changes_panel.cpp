#include "parameter_changes_panel.h"

#include "journal_controls.h"
#include "journal_filter_controls.h"

#include "base/error.h"
#include "core/parameter_write.h"
#include "state/console.h"
#include "widgets/accessible_names.h"

#include <QFileDialog>
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
    controls_ = new JournalFilterControls(row, this);
    connect(controls_, &JournalFilterControls::filterChosen, this, &ParameterChangesPanel::applyFilter);
    connect(controls_, &JournalFilterControls::exportAsked, this, &ParameterChangesPanel::askAndExport);
    layout->addLayout(row);

    view_ = journalTableView(model_, QStringLiteral("Parameter changes"), Widths, ParameterChangesModel::ColumnCount,
                             this);
    view_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    layout->addWidget(view_);
    note_ = new QLabel(this);
    nameByRoleAndText(note_, QStringLiteral("Parameter changes note"));
    layout->addWidget(note_);

    for (QComboBox *box : {controller_, origin_, outcome_})
        connect(box, &QComboBox::activated, this, &ParameterChangesPanel::applyFilter);
    fillControllers();
}

QString ParameterChangesPanel::note() const
{
    return note_->text();
}

void ParameterChangesPanel::showProblem()
{
    note_->setText(journalProblemNote(model_->problem()));
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
    const int added = takeRowsOnTop(view_, [this] { return model_->fetchNewer(); });
    // A controller written for the first time joins the filter's list.
    for (int r = 0; r < added; ++r)
        if (controller_->findData(model_->rowAt(r).controllerId) < 0) {
            fillControllers();
            break;
        }
}

ParameterChangesFilter ParameterChangesPanel::chosenFilter() const
{
    ParameterChangesFilter f;
    f.controllerId = controller_->currentIndex() >= 0 ? controller_->currentData().toInt()
                                                      : ParameterChangesFilter::AnyController;
    f.origin = origin_->currentData().toString();
    f.outcome = ParameterChangesFilter::Outcome(outcome_->currentData().toInt());
    f.fromMs = controls_->fromMs();
    f.toMs = controls_->toMs();
    f.text = controls_->searchText();
    return f;
}

void ParameterChangesPanel::applyFilter()
{
    controls_->stopWaiting();
    model_->setFilter(chosenFilter());
    showProblem();
}

void ParameterChangesPanel::fillControllers()
{
    std::set<int> ids;
    if (!connection_.isEmpty() && QSqlDatabase::contains(connection_)) {
        QSqlQuery q(QSqlDatabase::database(connection_, false));
        if (q.exec(QStringLiteral("SELECT DISTINCT controller_id FROM ") + parameterWritesTableName()))
            while (q.next())
                ids.insert(q.value(0).toInt());
    }
    fillControllerBox(controller_, console_, ids, false);
}

bool ParameterChangesPanel::exportCsv(const QString &path)
{
    return exportJournalRows(
        reporter_, QStringLiteral("exportParameterChangesCsv"), path,
        [&] {
            if (connection_.isEmpty() || !QSqlDatabase::contains(connection_))
                throw Error(FileNotFound, QStringLiteral("no journal to export"));
            return exportParameterChangesCsv(connection_, model_->filter(), path);
        },
        [this](const QString &text) { note_->setText(text); });
}

void ParameterChangesPanel::askAndExport()
{
    const QString path = askExportPath(chooseSaveFile, console_.programDir, QStringLiteral("Parameter changes"));
    if (!path.isEmpty())
        exportCsv(path);
}

} // namespace orbalis
