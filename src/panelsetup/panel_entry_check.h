#pragma once

#include "settings/settings_model.h"

#include <QString>
#include <QStringList>

namespace orbalis {

// Why the IDs and names typed in the panel settings window cannot be taken
// over, one sentence per problem; empty when they can. Checked before anything
// changes, so that a refusal leaves the model, the panel and the file as they
// were:
// - an ID whose leading number is negative or above 255 (it has no SlotId),
// - a character code page 950 cannot hold (the settings file could not keep it),
// - IDs or names that together exceed the 96 bytes of text of their record.
QStringList panelEntryProblems(const SlotTexts &ids, const SlotTexts &names);

// The first character of the text that code page 950 cannot hold; empty when
// every character fits.
QString firstCharacterOutsideCp950(const QString &text);

} // namespace orbalis
