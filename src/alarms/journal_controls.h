#pragma once

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QString>
#include <functional>
#include <set>

class QAbstractItemModel;
class QTableView;
class QWidget;

namespace orbalis {

struct Console;
class Reporter;

// A read-only table of whole rows, columns `widths` twips wide, named `name`.
QTableView *journalTableView(QAbstractItemModel *model, const QString &name, const int *widths, int columns,
                             QWidget *parent);

void nameControl(QWidget *control, const QString &name);

// A label and the control it names, for a row of controls.
template <class Control>
Control *labelled(const QString &caption, Control *control, QHBoxLayout *row, QWidget *parent)
{
    auto *label = new QLabel(caption, parent);
    label->setBuddy(control);
    nameControl(control, caption);
    row->addWidget(label);
    row->addWidget(control);
    return control;
}

// Lists "All controllers" (data -1), "Line" (data 0) when `withLine`, then
// the controllers of the slots and `journalIds`, each "ID 3 Oven" by its
// slot's name; keeps the one chosen where it is still listed.
void fillControllerBox(QComboBox *box, const Console &console, std::set<int> journalIds, bool withLine);

// What a journal view's note says after a read: empty when it went well.
QString journalProblemNote(const QString &problem);

// Puts the rows `fetchNewer` adds on top; the rows in view stay in view.
// How many were added.
int takeRowsOnTop(QTableView *view, const std::function<int()> &fetchNewer);

// Writes an export through an error trap named `procedure`; on success tells
// "Exported 12 rows to <path>" through `note`. False (and reported) on failure.
bool exportJournalRows(Reporter &reporter, const QString &procedure, const QString &path,
                       const std::function<qint64()> &write, const std::function<void(const QString &)> &note);

// The file an export is saved in, asked with `chooseSaveFile`, suggesting
// "<stem> yyMMdd-HHmm.csv" in the program folder; empty when cancelled.
QString askExportPath(const std::function<QString(const QString &, const QString &, const QString &)> &chooseSaveFile,
                      const QString &programDir, const QString &stem);

} // namespace orbalis
