#include "list_window.h"

#include "base/twips.h"
#include "widgets/accessible_names.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace orbalis {

namespace {

QLabel *wrappedLabel(QWidget *window, const QString &name, QVBoxLayout *layout)
{
    auto *label = new QLabel(window);
    label->setWordWrap(true);
    nameByRoleAndText(label, name);
    layout->addWidget(label);
    return label;
}

} // namespace

ListWindowParts buildListWindow(QWidget *window, const ListWindowShape &shape)
{
    window->setWindowTitle(shape.caption);
    window->setAccessibleName(shape.caption);
    ListWindowParts parts;
    auto *layout = new QVBoxLayout(window);
    parts.heading = wrappedLabel(window, shape.headingName, layout);

    parts.list = new QTreeWidget(window);
    parts.list->setAccessibleName(shape.listName);
    parts.list->setRootIsDecorated(false);
    QStringList headers;
    for (const char *c : shape.columns)
        headers << QString::fromLatin1(c);
    parts.list->setHeaderLabels(headers);
    for (std::size_t c = 0; c < shape.columnWidths.size(); ++c)
        parts.list->setColumnWidth(int(c), twipsToPixels(shape.columnWidths[c]));
    layout->addWidget(parts.list, 1);

    for (const QString &name : shape.lineNames)
        parts.lines.push_back(wrappedLabel(window, name, layout));

    auto *row = new QHBoxLayout;
    row->addStretch(1);
    for (const char *caption : shape.buttons) {
        const QString text = QString::fromLatin1(caption);
        auto *b = new QPushButton(text, window);
        b->setAccessibleName(text);
        row->addWidget(b);
        parts.buttons.push_back(b);
    }
    layout->addLayout(row);
    window->resize(twipsToPixels(shape.widthTwips), twipsToPixels(shape.heightTwips));
    return parts;
}

} // namespace orbalis
