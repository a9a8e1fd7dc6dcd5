#include "journal_controls.h"

#include "base/error_trap.h"
#include "state/console.h"
#include "widgets/accessible_names.h"
#include "widgets/fixed_row_table.h"

#include <QDateTime>
#include <QDir>
#include <QScrollBar>
#include <QTableView>

namespace orbalis {

QTableView *journalTableView(QAbstractItemModel *model, const QString &name, const int *widths, int columns,
                             QWidget *parent)
{
    return fixedRowTable(model, name, widths, columns, parent);
}

void nameControl(QWidget *control, const QString &name)
{
    if (auto *combo = qobject_cast<QComboBox *>(control))
        nameComboBox(combo, name);
    else
        control->setAccessibleName(name);
}

void fillControllerBox(QComboBox *box, const Console &console, std::set<int> journalIds, bool withLine)
{
    constexpr int AnyController = -1, LineOnly = 0;
    for (std::uint8_t id : console.slots.SlotId)
        if (id != 0)
            journalIds.insert(id);
    const int chosen = box->currentIndex() >= 0 ? box->currentData().toInt() : AnyController;
    box->clear();
    box->addItem(QStringLiteral("All controllers"), AnyController);
    if (withLine)
        box->addItem(QStringLiteral("Line"), LineOnly);
    for (int id : journalIds) {
        QString name;
        for (int k = 0; k < SlotCount; ++k)
            if (console.slots.SlotId[std::size_t(k)] == id)
                name = console.settings.panel.NameText[std::size_t(k)].trimmed();
        box->addItem(name.isEmpty() ? QStringLiteral("ID %1").arg(id) : QStringLiteral("ID %1 %2").arg(id).arg(name),
                     id);
    }
    const int at = box->findData(chosen);
    box->setCurrentIndex(at >= 0 ? at : 0);
}

QString journalProblemNote(const QString &problem)
{
    return problem.isEmpty() ? QString() : QStringLiteral("The journal cannot be read: ") + problem;
}

int takeRowsOnTop(QTableView *view, const std::function<int()> &fetchNewer)
{
    QScrollBar *bar = view->verticalScrollBar();
    const int scrolled = bar->value();
    const int added = fetchNewer();
    if (added > 0 && scrolled > 0)
        bar->setValue(scrolled + added);
    return added;
}

bool exportJournalRows(Reporter &reporter, const QString &procedure, const QString &path,
                       const std::function<qint64()> &write, const std::function<void(const QString &)> &note)
{
    ErrorTrap trap(reporter, procedure);
    qint64 rows = 0;
    const bool done = trap.step([&] { rows = write(); });
    if (done)
        note(QStringLiteral("Exported %1 rows to %2").arg(rows).arg(QDir::toNativeSeparators(path)));
    return done;
}

QString askExportPath(const std::function<QString(const QString &, const QString &, const QString &)> &chooseSaveFile,
                      const QString &programDir, const QString &stem)
{
    const QString suggested = QDir(programDir).filePath(
        stem + u' ' + QDateTime::currentDateTime().toString(QStringLiteral("yyMMdd-HHmm")) + QStringLiteral(".csv"));
    return chooseSaveFile(QStringLiteral("Export CSV"), QStringLiteral("CSV file (*.csv)"), suggested);
}

} // namespace orbalis
