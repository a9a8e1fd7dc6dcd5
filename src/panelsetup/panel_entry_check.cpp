#include "panel_entry_check.h"

#include "settings/cp950.h"
#include "settings/settings_store.h"

namespace orbalis {

namespace {

QString meterName(int k)
{
    return QStringLiteral("Meter %1").arg(k + 1);
}

QString bytesText(int n)
{
    return n == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(n);
}

bool outOfIdRange(const QString &id)
{
    try {
        slotIdFromText(id);
        return false;
    } catch (const Error &e) {
        return e.number() == Overflow;
    }
}

// Appends a problem per text that code page 950 cannot hold; true when all fit.
bool checkCodePage(const SlotTexts &texts, const QString &what, QStringList &problems)
{
    bool allFit = true;
    for (int k = 0; k < SlotCount; ++k) {
        const QString bad = firstCharacterOutsideCp950(texts[k]);
        if (bad.isEmpty())
            continue;
        allFit = false;
        problems.append(QStringLiteral("%1: the %2 \"%3\" holds \"%4\", a character the settings "
                                       "file (code page 950) cannot keep.")
                            .arg(meterName(k), what, texts[k], bad));
    }
    return allFit;
}

void checkRecordLength(const SlotTexts &texts, const QString &what, QStringList &problems)
{
    const int excess = recordExcessBytes(QStringList(texts.begin(), texts.end()));
    if (excess > 0)
        problems.append(QStringLiteral("The 16 %1 are too long for the settings file: together they "
                                       "may take %2 in code page 950 (a Chinese character takes 2). "
                                       "Shorten them by %3.")
                            .arg(what, bytesText(RecordSize - 2 * SlotCount), bytesText(excess)));
}

} // namespace

QString firstCharacterOutsideCp950(const QString &text)
{
    try {
        encodeCp950(text);
        return {};
    } catch (const Error &) {
    }
    // Character by character, a surrogate pair counting as one character.
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = (text[i].isHighSurrogate() && i + 1 < text.size()
                             && text[i + 1].isLowSurrogate()) ? 2 : 1;
        const QString c = text.mid(i, n);
        try {
            encodeCp950(c);
        } catch (const Error &) {
            return c;
        }
        i += n;
    }
    // Only the whole text fails: show it all rather than nothing.
    return text;
}

QStringList panelEntryProblems(const SlotTexts &ids, const SlotTexts &names)
{
    QStringList problems;
    for (int k = 0; k < SlotCount; ++k) {
        if (outOfIdRange(ids[k]))
            problems.append(QStringLiteral("%1: the ID \"%2\" is not a controller ID (001 to 255 or ---).")
                                .arg(meterName(k), ids[k]));
    }
    // Lengths count code page 950 bytes, so they are judged only once every
    // text can be encoded at all.
    if (checkCodePage(ids, QStringLiteral("ID"), problems))
        checkRecordLength(ids, QStringLiteral("IDs"), problems);
    if (checkCodePage(names, QStringLiteral("name"), problems))
        checkRecordLength(names, QStringLiteral("names"), problems);
    return problems;
}

} // namespace orbalis
