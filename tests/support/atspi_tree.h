#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class QWidget;

namespace orbalis::test {

// One element of a window as a screen reader gets it over AT-SPI.
struct AtspiNode {
    QString role;   // AT-SPI's role name: "combo box", "label", "text", "list", ...
    QString name;
    QString description;
    std::optional<QString> text;   // what its text interface holds, where it has one
    QStringList states;
    QStringList labelledBy;        // the names of the elements that label it
    QStringList selected;          // a list's selected items; its items are not read one by one
    std::vector<AtspiNode> children;

    // This element and every element below it, depth first.
    std::vector<const AtspiNode *> all() const;
    // The elements of the role with the name.
    std::vector<const AtspiNode *> find(const QString &role, const QString &name) const;
    // A combo box's selected item, as its list child tells it.
    QStringList selectedItem() const;
};

// Reads this program's window titled `title` over AT-SPI, through
// tests/support/atspi_tree.py, while this program goes on answering. Needs a
// session as tests/support/atspi_session makes one. Without a result, `error`
// says why.
std::optional<AtspiNode> readOverAtspi(const QString &title, QString &error);

// Where a screen reader hears the window otherwise than it shows, by the rule
// of src/widgets/accessible_names.h: every label with a text is heard with
// it; every combo box by its name, telling its shown text and its current
// item selected in its list; every text box by its name, telling its text.
// One line per difference.
QStringList heardOtherwiseThanShown(QWidget *window, const AtspiNode &tree);

} // namespace orbalis::test
