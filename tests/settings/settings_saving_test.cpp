#include "settings_test_files.h"

#include <gtest/gtest.h>

using namespace orbalis;
using namespace orbalis::test;

namespace {

// A program folder after its first start.
struct Started : SettingsFolder {
    Startup start{path()};
    SettingsModel &model = start.model;
    QByteArray bytes = readFile(path());
};

} // namespace

TEST(SettingsSaving, SavingRecordOneLeavesTheOthersByteForByte)
{
    Started f;
    f.model.serial.Port = QStringLiteral("COM12");
    f.model.panel.IdText[0] = QStringLiteral("007");   // record 2 is not named: stays on disk as it was
    saveSettingsRecords(f.path(), {1}, f.model);

    const QByteArray after = readFile(f.path());
    EXPECT_EQ(recordBytes(after, 1), recordOf({"COM12", "19200", "2", "8", "None"}));
    EXPECT_EQ(after.mid(128), f.bytes.mid(128));
}

TEST(SettingsSaving, ExitWritesTheDecimalCodesOnlyAndThemAsRead)
{
    Started f;
    f.model.serial.Port = QStringLiteral("COM9");   // in memory only
    f.model.panel.DecimalText[6] = QStringLiteral("50");
    saveSettingsRecords(f.path(), {7}, f.model);
    const QByteArray withFifty = readFile(f.path());

    // Start and exit with no parameters read in between: the file is unchanged.
    Startup again(f.path());
    SlotTables tables;
    Load_Panel_Table(again.model, tables, again.trap);
    EXPECT_EQ(tables.Slot_DP_Code[6], 50);
    FakeReporter reporter;
    ErrorTrap unload(reporter, QStringLiteral("FM_Orbalis_Unload"));
    runSettingsExit(f.path(), again.model, tables, unload);
    EXPECT_TRUE(reporter.messages.isEmpty());
    EXPECT_EQ(readFile(f.path()), withFifty);

    // New codes reach record 7 and nothing else.
    for (int k = 0; k < SlotCount; ++k)
        tables.Slot_DP_Code[k] = 47 + k % 4;
    runSettingsExit(f.path(), f.model, tables, unload);
    QList<QByteArray> codes;
    for (int k = 0; k < SlotCount; ++k)
        codes.append(QByteArray::number(47 + k % 4));
    const QByteArray after = readFile(f.path());
    EXPECT_EQ(after.left(6 * 128), f.bytes.left(6 * 128));
    EXPECT_EQ(recordBytes(after, 7), recordOf(codes));
}

TEST(SettingsSaving, ChineseNamesTravelAsCodePage950)
{
    Started f;
    f.model.panel.NameText[0] = QStringLiteral("溫度一");
    f.model.panel.NameText[1] = QStringLiteral("Tank 2");
    saveSettingsRecords(f.path(), {3}, f.model);
    EXPECT_EQ(recordBytes(readFile(f.path()), 3).left(16),
              QByteArray::fromHex("0600b7c5abd7a440") + lengthPrefixed("Tank 2"));

    Startup reread(f.path());
    EXPECT_TRUE(reread.codes().isEmpty());
    EXPECT_EQ(reread.model.panel.NameText[0], QStringLiteral("溫度一"));
    EXPECT_EQ(reread.model.panel.NameText[2], QStringLiteral("---"));
}

TEST(SettingsSaving, RecordsThatCannotBeBuiltWriteNothing)
{
    Started f;
    f.model.serial.Port = QStringLiteral("COM2");
    f.model.panel.NameText[4] = QStringLiteral("Tank 😀");   // not in code page 950
    EXPECT_EQ(errorNumberOf([&] { saveSettingsRecords(f.path(), {1, 3}, f.model); }), InvalidArgument);
    EXPECT_EQ(readFile(f.path()), f.bytes);

    f.model.panel.NameText.fill(QStringLiteral("Station"));   // 16 * 7 = 112 bytes of text
    EXPECT_EQ(recordExcessBytes(recordTexts(f.model, 3)), 16);
    EXPECT_EQ(errorNumberOf([&] { saveSettingsRecords(f.path(), {1, 3}, f.model); }), BadRecordLength);
    EXPECT_EQ(readFile(f.path()), f.bytes);

    // Through the trap, as a closing window writes: record 3 refused, record 1 written.
    FakeReporter reporter;
    ErrorTrap trap(reporter, QStringLiteral("FM_TableSetting_Unload"));
    SettingsFile file(f.path());
    file.open();
    trap.step([&] { Write_User_Setting(file, 3, f.model); });
    trap.step([&] { Write_User_Setting(file, 1, f.model); });
    file.close();
    ASSERT_EQ(reportedCodes(reporter), QList<int>{BadRecordLength});
    EXPECT_TRUE(reporter.messages.front().startsWith(QStringLiteral("At FM_TableSetting_Unload()")));
    EXPECT_EQ(f.model.panel.NameText[0], "Station");
    const QByteArray after = readFile(f.path());
    EXPECT_EQ(recordBytes(after, 3), recordBytes(f.bytes, 3));
    EXPECT_EQ(recordBytes(after, 1), recordOf({"COM2", "19200", "2", "8", "None"}));
}
