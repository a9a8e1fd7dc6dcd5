#include "settings/settings_store.h"
#include "settings_test_files.h"

#include <gtest/gtest.h>

using namespace orbalis;
using namespace orbalis::test;

TEST(SlotIdRule, BindsOnlyNumbersOfOneByte)
{
    const std::pair<const char *, int> ids[] = {
        {"001", 1}, {" 007 ", 7}, {"255", 255}, {"12.5", 12}, {"13.5", 14}, {"254.7x", 255},
        {"---", 0}, {" --- ", 0}, {"abc", 0}, {"   ", 0}, {"", 0}, {"-0.4", 0}};
    for (const auto &[text, id] : ids)
        EXPECT_EQ(slotIdFromText(QString::fromLatin1(text)), id) << text;
    for (const char *text : {"256", "255.5", "-1", "1e10", "99999999999999999999"})
        EXPECT_EQ(errorNumberOf([&] { slotIdFromText(QString::fromLatin1(text)); }), Overflow) << text;
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

    ASSERT_EQ(reportedCodes(reporter), (QList<int>{Overflow, Overflow, Overflow}));
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
