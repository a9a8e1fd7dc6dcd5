#include "fixed_row_table.h"

#include "base/twips.h"

#include <QHeaderView>
#include <QTableView>

namespace orbalis {

namespace {

constexpr int RowHeight = 300;   // twips

} // namespace

QTableView *fixedRowTable(QAbstractItemModel *model, const QString &name, const int *widths, int columns,
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

} // namespace orbalis
