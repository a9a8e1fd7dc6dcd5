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

TEST(PanelEntryCheck, AcceptsTheFormsTheWindowOffersAndTypedVariants)
{
    SlotTexts ids = allOf(QStringLiteral("---"));
    ids[0] = QStringLiteral("001");
    ids[1] = QStringLiteral("255");
    ids[2] = QStringLiteral("12");
    ids[3] = QStringLiteral("abc");     // no number: no controller
    ids[4] = QStringLiteral("0");
    ids[5] = QStringLiteral(" 007 ");
    ids[6] = QString();
    EXPECT_TRUE(Panel_Entry_Problems(ids, allOf(QStringLiteral("溫度一"))).isEmpty());
}

TEST(PanelEntryCheck, IdsWithoutASlotIdAreNamedByMeter)
{
    SlotTexts ids = allOf(QStringLiteral("---"));
    ids[0] = QStringLiteral("-1");
    ids[4] = QStringLiteral("300");
    ids[15] = QStringLiteral("255.5");  // rounds half to even: 256
    const QStringList problems = Panel_Entry_Problems(ids, allOf(QStringLiteral("---")));
    ASSERT_EQ(problems.size(), 3);
    EXPECT_EQ(problems[0], QStringLiteral("Meter 1: the ID \"-1\" is not a controller ID (001 to 255 or ---)."));
    EXPECT_EQ(problems[1], QStringLiteral("Meter 5: the ID \"300\" is not a controller ID (001 to 255 or ---)."));
    EXPECT_TRUE(problems[2].startsWith(QStringLiteral("Meter 16: the ID \"255.5\"")));
}

TEST(PanelEntryCheck, RecordLengthIsCountedInCodePage950BytesAtTheBoundary)
{
    // 16 names of 6 bytes fill the 96 bytes of text exactly; three Chinese
    // characters count 6 bytes, not the 9 of UTF-8.
    EXPECT_TRUE(Panel_Entry_Problems(allOf("---"), allOf(QStringLiteral("溫度一"))).isEmpty());
    EXPECT_TRUE(Panel_Entry_Problems(allOf("---"), allOf(QStringLiteral("abcdef"))).isEmpty());

    SlotTexts names = allOf(QStringLiteral("abcdef"));
    names[7] = QStringLiteral("abcdefg");
    QStringList problems = Panel_Entry_Problems(allOf("---"), names);
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains(QStringLiteral("names")));
    EXPECT_TRUE(problems[0].contains(QStringLiteral("96 bytes")));
    EXPECT_TRUE(problems[0].contains(QStringLiteral("Shorten them by 1 byte.")));

    names[7] = QStringLiteral("溫度一二三");     // 10 bytes: 4 too many
    problems = Panel_Entry_Problems(allOf("---"), names);
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains(QStringLiteral("Shorten them by 4 bytes.")));
}

TEST(PanelEntryCheck, IdsAndNamesAreMeasuredSeparately)
{
    const QStringList problems =
        Panel_Entry_Problems(allOf(QStringLiteral("0000007")), allOf(QStringLiteral("12345678")));
    ASSERT_EQ(problems.size(), 2);
    EXPECT_TRUE(problems[0].contains(QStringLiteral("16 IDs")));
    EXPECT_TRUE(problems[0].contains(QStringLiteral("Shorten them by 16 bytes.")));
    EXPECT_TRUE(problems[1].contains(QStringLiteral("16 names")));
    EXPECT_TRUE(problems[1].contains(QStringLiteral("Shorten them by 32 bytes.")));
}

TEST(PanelEntryCheck, CharactersOutsideCodePage950AreRefusedPerMeter)
{
    SlotTexts names = allOf(QStringLiteral("---"));
    names[3] = QStringLiteral("Tank 😀 2");
    names[9] = QStringLiteral("Ωmega");  // Greek capital omega is in Big5
    SlotTexts ids = allOf(QStringLiteral("---"));
    ids[2] = QStringLiteral("0ä7");
    const QStringList problems = Panel_Entry_Problems(ids, names);
    ASSERT_EQ(problems.size(), 2);
    EXPECT_TRUE(problems[0].startsWith(QStringLiteral("Meter 3: the ID \"0ä7\" holds \"ä\"")));
    EXPECT_TRUE(problems[1].startsWith(QStringLiteral("Meter 4: the name \"Tank 😀 2\" holds \"😀\"")));
}

TEST(PanelEntryCheck, FirstCharacterOutsideCp950KeepsSurrogatePairsWhole)
{
    EXPECT_EQ(First_Character_Outside_Cp950(QStringLiteral("溫度 ok")), QString());
    EXPECT_EQ(First_Character_Outside_Cp950(QStringLiteral("ab😀c😁")), QStringLiteral("😀"));
    // A broken pair (pasted half of an emoji) is one refused character too.
    const QString lone = QStringLiteral("ab") + QChar(0xD83D) + QStringLiteral("c");
    EXPECT_EQ(First_Character_Outside_Cp950(lone), QString(QChar(0xD83D)));
}

} // namespace
} // namespace orbalis
