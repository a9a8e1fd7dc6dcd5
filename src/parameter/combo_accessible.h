#pragma once

class QComboBox;

namespace orbalis {

// Makes screen readers and UI automation name the parameter window's combo
// boxes by their accessible name (the mnemonic), with the shown text as
// their value. Qt on Linux names a combo box by its text, so "BAUD" would be
// found as "19200". Applies to combo boxes marked with markNamedCombo;
// installing twice is harmless.
void installNamedComboAccessibility();
void markNamedCombo(QComboBox *combo);

} // namespace orbalis
