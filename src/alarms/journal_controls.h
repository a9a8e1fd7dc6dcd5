#pragma once

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QString>

class QAbstractItemModel;
class QTableView;
class QWidget;

namespace orbalis {

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

} // namespace orbalis
