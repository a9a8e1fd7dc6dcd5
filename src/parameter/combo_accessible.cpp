#include "combo_accessible.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>

namespace orbalis {

namespace {

const char *const NamedProperty = "accessibleByName";

// A combo box as QAccessible sees it: role ComboBox, the accessible name as
// Name, the shown text as Value, the list of items as its first child and
// the actions that open and close it.
class NamedComboAccessible : public QAccessibleWidget {
public:
    explicit NamedComboAccessible(QComboBox *combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name: return combo()->accessibleName();
        case QAccessible::Value: return combo()->currentText();
        default: return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        const bool open = combo()->view() && combo()->view()->isVisible();
        s.editable = combo()->isEditable();
        s.expandable = true;
        s.expanded = open;
        s.collapsed = !open;
        s.hasPopup = true;
        return s;
    }

    int childCount() const override { return 1 + QAccessibleWidget::childCount(); }

    QAccessibleInterface *child(int index) const override
    {
        if (index == 0)
            return combo()->view() ? QAccessible::queryAccessibleInterface(combo()->view()) : nullptr;
        return QAccessibleWidget::child(index - 1);
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (child && combo()->view() && child->object() == combo()->view())
            return 0;
        const int i = QAccessibleWidget::indexOfChild(child);
        return i < 0 ? -1 : i + 1;
    }

    QStringList actionNames() const override
    {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &name) override
    {
        if (name == showMenuAction() || name == pressAction()) {
            if (combo()->view() && combo()->view()->isVisible())
                combo()->hidePopup();
            else
                combo()->showPopup();
            return;
        }
        QAccessibleWidget::doAction(name);
    }

private:
    QComboBox *combo() const { return static_cast<QComboBox *>(widget()); }
};

QAccessibleInterface *namedComboFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("QComboBox") && object && object->property(NamedProperty).toBool())
        return new NamedComboAccessible(static_cast<QComboBox *>(object));
    return nullptr;
}

} // namespace

void installNamedComboAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(namedComboFactory);
        return true;
    }();
    (void)installed;
}

void markNamedCombo(QComboBox *combo)
{
    combo->setProperty(NamedProperty, true);
}

} // namespace orbalis
