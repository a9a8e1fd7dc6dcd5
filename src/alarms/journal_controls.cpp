#include "journal_controls.h"

#include "base/twips.h"
#include "widgets/accessible_names.h"

#include <QHeaderView>
#include <QTableView>

namespace orbalis {

namespace {

constexpr int RowHeight = 300;   // twips

} // namespace

QTableView *journalTableView(QAbstractItemModel *model, const QString &name, const int *widths, int columns,
                             QWidget *parent)
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

void nameControl(QWidget *control, const QString &name)
{
    if (auto *combo = qobject_cast<QComboBox *>(control))
        nameComboBox(combo, name);
    else
        control->setAccessibleName(name);
}

} // namespace orbalis
