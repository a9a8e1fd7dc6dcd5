#include "accessible_names.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace orbalis {

namespace {

const char *const NamedComboProperty = "orbalisNamedCombo";
const char *const LabelRoleProperty = "orbalisLabelRole";

// A combo box as QAccessible sees it: role ComboBox, the accessible name as
// Name, the shown text as Value and as its (read-only) text, the list of
// items as its first child and the actions that open and close it.
class NamedComboAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit NamedComboAccessible(QComboBox *combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

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

    // The shown text, read only: typing goes to the text field child.
    QString text(int startOffset, int endOffset) const override
    {
        const QString shown = combo()->currentText();
        if (endOffset < 0 || endOffset > shown.size())
            endOffset = int(shown.size());
        startOffset = std::clamp(startOffset, 0, endOffset);
        return shown.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(combo()->currentText().size()); }
    void selection(int, int *startOffset, int *endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

private:
    QComboBox *combo() const { return static_cast<QComboBox *>(widget()); }
};

// A label heard as "<role>: <text>". Its accessible name stays empty, so that
// QLabel announces every new text as a new name.
class RoleAndTextAccessible : public QAccessibleWidget {
public:
    explicit RoleAndTextAccessible(QLabel *label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        const QString role = widget()->property(LabelRoleProperty).toString();
        const QString shown = static_cast<QLabel *>(widget())->text();
        return shown.isEmpty() ? role : role + QStringLiteral(": ") + shown;
    }
};

QAccessibleInterface *namedFactory(const QString &, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (auto *combo = qobject_cast<QComboBox *>(object); combo && combo->property(NamedComboProperty).toBool())
        return new NamedComboAccessible(combo);
    if (auto *label = qobject_cast<QLabel *>(object); label && label->property(LabelRoleProperty).isValid())
        return new RoleAndTextAccessible(label);
    return nullptr;
}

// Qt makes a plain interface for a widget at its first accessibility event;
// one made before the widget was marked is dropped, so that the factory
// makes the next.
template <class Own>
void useOwnInterface(QWidget *widget)
{
    static const bool installed = [] {
        QAccessible::installFactory(namedFactory);
        return true;
    }();
    (void)installed;
    if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(widget))
        if (!dynamic_cast<Own *>(made))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

// The item of the shown text selected in the list, where screen readers look
// for it. An editable box may show a text set or typed apart from its current
// item: the item of that text is selected, or none.
void selectShownItem(QComboBox *combo)
{
    QItemSelectionModel *selection = combo->view() ? combo->view()->selectionModel() : nullptr;
    if (!selection)
        return;
    const int row = combo->isEditable()
        ? combo->findText(combo->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive)
        : combo->currentIndex();
    const QModelIndex shown = combo->model()->index(row, combo->modelColumn(), combo->rootModelIndex());
    if (shown.isValid())
        selection->select(shown, QItemSelectionModel::ClearAndSelect);
    else
        selection->clearSelection();
}

} // namespace

void nameComboBox(QComboBox *combo, const QString &name)
{
    combo->setAccessibleName(name);
    if (combo->lineEdit())
        combo->lineEdit()->setAccessibleName(name);
    if (combo->property(NamedComboProperty).toBool())
        return;
    combo->setProperty(NamedComboProperty, true);
    useOwnInterface<NamedComboAccessible>(combo);
    selectShownItem(combo);
    QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [combo] { selectShownItem(combo); });
    QObject::connect(combo, &QComboBox::editTextChanged, combo, [combo] { selectShownItem(combo); });
}

void nameByRoleAndText(QLabel *label, const QString &role)
{
    label->setAccessibleName(QString());
    label->setProperty(LabelRoleProperty, role);
    useOwnInterface<RoleAndTextAccessible>(label);
}

} // namespace orbalis
