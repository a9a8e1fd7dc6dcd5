#include "panelsetup/panel_entry_check.h"

#include <gtest/gtest.h>

namespace orbalis {
namespace {

SlotTexts allOf(const QString &text)
{
    SlotTexts texts;
    texts.fill(text);
    return texts;
}

TEST(PanelEntryCheck, RecordLengthIsCountedInCodePage950BytesAndPerRecord)
{
    // 16 texts of 6 bytes fill the 96 bytes exactly; three Chinese characters
    // are 6 bytes in code page 950 (9 in UTF-8).
    EXPECT_TRUE(panelEntryProblems(allOf("abcdef"), allOf(QStringLiteral("溫度一"))).isEmpty());

    SlotTexts names = allOf(QStringLiteral("溫度一"));
    names[7] = QStringLiteral("溫度一a");
    QStringList problems = panelEntryProblems(allOf("---"), names);
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains(QStringLiteral("16 names")));
    EXPECT_TRUE(problems[0].contains(QStringLiteral("Shorten them by 1 byte.")));

    // IDs and names each have their own record, and their own message.
    problems = panelEntryProblems(allOf("0000007"), allOf("12345678"));
    ASSERT_EQ(problems.size(), 2);
    EXPECT_TRUE(problems[0].contains(QStringLiteral("16 IDs")));
    EXPECT_TRUE(problems[0].contains(QStringLiteral("Shorten them by 16 bytes.")));
    EXPECT_TRUE(problems[1].contains(QStringLiteral("Shorten them by 32 bytes.")));
}

TEST(PanelEntryCheck, RefusedCharactersAndIdsNameTheMeter)
{
    SlotTexts ids = allOf(QStringLiteral("---"));
    ids[2] = QStringLiteral("0ä7");
    ids[15] = QStringLiteral("255.5");  // rounds half to even: 256
    SlotTexts names = allOf(QStringLiteral("---"));
    names[3] = QStringLiteral("Tank 😀 2");
    names[9] = QStringLiteral("Ω €");     // both are in code page 950
    const QStringList problems = panelEntryProblems(ids, names);
    ASSERT_EQ(problems.size(), 3);
    EXPECT_TRUE(problems[0].startsWith(QStringLiteral("Meter 16: the ID \"255.5\" is not a controller ID")));
    EXPECT_TRUE(problems[1].startsWith(QStringLiteral("Meter 3: the ID \"0ä7\" holds \"ä\"")));
    EXPECT_TRUE(problems[2].startsWith(QStringLiteral("Meter 4: the name \"Tank 😀 2\" holds \"😀\"")));

    // A surrogate pair is one character; half of one is refused by itself.
    EXPECT_EQ(firstCharacterOutsideCp950(QStringLiteral("ab😀c😁")), QStringLiteral("😀"));
    const QString lone = QStringLiteral("ab") + QChar(0xD83D) + QStringLiteral("c");
    EXPECT_EQ(firstCharacterOutsideCp950(lone), QString(QChar(0xD83D)));
}

} // namespace
} // namespace orbalis
