#pragma once

#include <QString>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace orbalis {

// A window of a heading, a list, lines of text below it and a row of buttons
// at the right, as "Compare" and "Copy to" are.
struct ListWindowShape {
    QString caption;                   // the title and the window's name
    int widthTwips = 0;
    int heightTwips = 0;
    QString headingName;               // the heading's name, after its role
    QString listName;
    std::vector<const char *> columns; // captions
    std::vector<int> columnWidths;     // twips
    std::vector<QString> lineNames;    // the lines below the list
    std::vector<const char *> buttons; // captions, left to right
};

struct ListWindowParts {
    QLabel *heading = nullptr;
    QTreeWidget *list = nullptr;
    std::vector<QLabel *> lines;
    std::vector<QPushButton *> buttons;
};

// Names and lays out `window` as `shape` says and sizes it.
ListWindowParts buildListWindow(QWidget *window, const ListWindowShape &shape);

} // namespace orbalis
