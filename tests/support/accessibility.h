#pragma once

#include <QAccessible>
#include <QMultiMap>
#include <QString>
#include <QWidget>
#include <functional>

namespace orbalis::test {

// Every name a screen reader finds under the widget, with the role of the
// element it names, as QAccessible gives it in this process (what reaches a
// screen reader over AT-SPI: support/atspi_tree.h). A label reaches the
// screen reader through the "labelled by" relation too, so the labels' names
// are listed for the elements they label as well.
inline QMultiMap<QString, QAccessible::Role> accessibleNames(QWidget *top)
{
    QMultiMap<QString, QAccessible::Role> found;
    std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *iface) {
        if (!iface)
            return;
        found.insert(iface->text(QAccessible::Name), iface->role());
        for (const auto &[label, relation] : iface->relations(QAccessible::Label))
            found.insert(label->text(QAccessible::Name), iface->role());
        for (int i = 0; i < iface->childCount(); ++i)
            walk(iface->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(top));
    return found;
}

// Whether an element of one of the roles carries the name.
inline bool hasAccessible(const QMultiMap<QString, QAccessible::Role> &found, const QString &name,
                          std::initializer_list<QAccessible::Role> roles)
{
    for (QAccessible::Role role : found.values(name))
        for (QAccessible::Role wanted : roles)
            if (role == wanted)
                return true;
    return false;
}

} // namespace orbalis::test
