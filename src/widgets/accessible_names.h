#pragma once

class QComboBox;
class QLabel;
class QString;

namespace orbalis {

// What a screen reader hears of a control, the same in every window:
// - A control is named by its caption or mnemonic, never by what it shows;
//   what it shows is told the way its kind tells it.
// - A combo box tells its current item as a combo box does: that item
//   selected in its list, and the shown text as its own text. (Qt on Linux
//   would name it by its text, "19200" instead of "Baud rate", and a value
//   given apart from the name does not reach the screen reader.)
// - A label whose text is the point (a status, a percentage) is heard as
//   "<role>: <text>", the role alone while it is empty, so that its role
//   never hides its text. A label that captions a control is heard by its
//   text and labels that control as its buddy.

// Names the combo box (and its text field, when it has one) by `name`.
void nameComboBox(QComboBox *combo, const QString &name);

// Names the label by its role and its text, whatever text it shows later.
void nameByRoleAndText(QLabel *label, const QString &role);

} // namespace orbalis
