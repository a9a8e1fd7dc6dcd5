#include "settings/settings_store.h"
#include "settings_test_files.h"

#include <gtest/gtest.h>

using namespace orbalis;
using namespace orbalis::test;

namespace {

int slotIdError(const QString &text)
{
    try {
        Slot_Id_From_Text(text);
    } catch (const Error &e) {
        return e.number();
    }
    return 0;
}

} // namespace

TEST(SlotIdRule, TextsThatBindAController)
{
    EXPECT_EQ(Slot_Id_From_Text(QStringLiteral("001")), 1);
    EXPECT_EQ(Slot_Id_From_Text(QStringLiteral(" 007 ")), 7);
    EXPECT_EQ(Slot_Id_From_Text(QStringLiteral("255")), 255);
    EXPECT_EQ(Slot_Id_From_Text(QStringLiteral("12.5")), 12);    // half to even
    EXPECT_EQ(Slot_Id_From_Text(QStringLiteral("13.5")), 14);
    EXPECT_EQ(Slot_Id_From_Text(QStringLiteral("254.7x")), 255);
}

TEST(SlotIdRule, TextsThatBindNothing)
{
    EXPECT_EQ(Slot_Id_From_Text(QStringLiteral("---")), 0);
    EXPECT_EQ(Slot_Id_From_Text(QStringLiteral(" --- ")), 0);
    EXPECT_EQ(Slot_Id_From_Text(QStringLiteral("abc")), 0);
    EXPECT_EQ(Slot_Id_From_Text(QStringLiteral("   ")), 0);
    EXPECT_EQ(Slot_Id_From_Text(QString()), 0);
    EXPECT_EQ(Slot_Id_From_Text(QStringLiteral("-0.4")), 0);
}

TEST(SlotIdRule, NumbersOutsideTheByteOverflow)
{
    EXPECT_EQ(slotIdError(QStringLiteral("256")), Overflow);
    EXPECT_EQ(slotIdError(QStringLiteral("255.5")), Overflow);   // rounds to 256
    EXPECT_EQ(slotIdError(QStringLiteral("-1")), Overflow);
    EXPECT_EQ(slotIdError(QStringLiteral("1e10")), Overflow);
    EXPECT_EQ(slotIdError(QStringLiteral("99999999999999999999")), Overflow);
}

TEST(LoadPanelTable, OneBadIdIsReportedAndTheOthersStillConvert)
{
    SettingsModel model;
    Fill_Default_Settings(model);
    model.panel.IdText[0] = QStringLiteral(" 007 ");
    model.panel.IdText[1] = QStringLiteral("256");
    model.panel.IdText[2] = QStringLiteral("003");
    model.panel.IdText[3] = QStringLiteral("   ");
    model.panel.IdText[4] = QStringLiteral("-1");
    model.panel.IdText[15] = QStringLiteral("255");
    model.panel.DecimalText[0] = QStringLiteral("50");
    model.panel.DecimalText[1] = QStringLiteral("48.5");     // half to even
    model.panel.DecimalText[2] = QStringLiteral("1e12");     // beyond 32 bits
    model.panel.DecimalText[3] = QStringLiteral("x");

    SlotTables tables;
    tables.SlotId.fill(99);
    tables.Record_Flag.fill(true);
    tables.Mark_Flag[4] = true;
    FakeReporter reporter;
    ErrorTrap trap(reporter, QStringLiteral("FM_Orbalis_Load"));
    Load_Panel_Table(model, tables, trap);

    EXPECT_EQ(reportedCodes(reporter), (QList<int>{Overflow, Overflow, Overflow}));
    EXPECT_TRUE(reporter.messages[0].startsWith(QStringLiteral("At FM_Orbalis_Load()")));
    EXPECT_TRUE(reporter.messages[0].contains(QStringLiteral("256")));
    const std::array<std::uint8_t, SlotCount> ids{7, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255};
    EXPECT_EQ(tables.SlotId, ids);
    EXPECT_EQ(tables.Slot_DP_Code[0], 50);
    EXPECT_EQ(tables.Slot_DP_Code[1], 48);
    EXPECT_EQ(tables.Slot_DP_Code[2], 48);
    EXPECT_EQ(tables.Slot_DP_Code[3], 0);
    EXPECT_EQ(tables.Slot_DP_Code[4], 48);
    for (int k = 0; k < SlotCount; ++k) {
        EXPECT_FALSE(tables.Record_Flag[k]);
        EXPECT_FALSE(tables.Mark_Flag[k]);
    }
    EXPECT_EQ(model.panel.IdText[3], "   ");
}

TEST(DefaultTexts, FillReplacesOnlyEmptyTextsOfEveryTable)
{
    SettingsModel model;
    model.serial.Baud = QStringLiteral("9600");
    model.panel.Reserved6[9] = QStringLiteral("x");
    model.panel.NameText[1] = QStringLiteral(" ");
    Fill_Default_Settings(model);
    EXPECT_EQ(Record_Texts(model, 1), (QStringList{"COM1", "9600", "2", "8", "None"}));
    EXPECT_EQ(model.panel.IdText[0], "---");
    EXPECT_EQ(model.panel.NameText[0], "---");
    EXPECT_EQ(model.panel.NameText[1], " ");
    EXPECT_EQ(model.panel.Reserved4[15], "0");
    EXPECT_EQ(model.panel.Reserved6[9], "x");
    EXPECT_EQ(model.panel.Reserved6[8], "0");
    EXPECT_EQ(model.panel.DecimalText[0], "48");
}

TEST(DefaultTexts, RecordTextsMapEachRecordToItsOwnTable)
{
    SettingsModel model;
    Set_Record_Texts(model, 4, {QStringLiteral("a"), QStringLiteral("b")});
    Set_Record_Texts(model, 6, {QStringLiteral("c")});
    EXPECT_EQ(model.panel.Reserved4[0], "a");
    EXPECT_EQ(model.panel.Reserved4[1], "b");
    EXPECT_EQ(model.panel.Reserved6[0], "c");
    EXPECT_TRUE(model.panel.Reserved5[0].isEmpty());
    EXPECT_EQ(Record_Texts(model, 6).size(), 16);
    EXPECT_EQ(Record_Texts(model, 6).front(), "c");
    EXPECT_THROW(Record_Texts(model, 8), Error);
    EXPECT_THROW(Record_Text_Count(0), Error);
}
