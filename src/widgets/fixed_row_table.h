#pragma once

class QAbstractItemModel;
class QString;
class QTableView;
class QWidget;

namespace orbalis {

// A read-only table of whole rows, named for screen readers, with rows 300
// twips high and the columns `widths` wide (twips; the last one stretches).
// Fixed sizes: nothing is measured per row as rows come.
QTableView *fixedRowTable(QAbstractItemModel *model, const QString &name, const int *widths, int columns,
                          QWidget *parent);

} // namespace orbalis
