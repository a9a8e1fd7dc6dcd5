#include "settings/settings_store.h"
#include "settings_test_files.h"

#include <gtest/gtest.h>

using namespace orbalis;
using namespace orbalis::test;

namespace {

// A folder whose settings file went through one startup.
struct StartedFolder {
    SettingsFolder folder;
    FakeReporter reporter;
    SettingsModel model;
    QByteArray bytes;

    StartedFolder()
    {
        ErrorTrap trap(reporter, QStringLiteral("FM_Orbalis_Load"));
        Run_Settings_Startup(folder.path(), model, trap);
        bytes = readAll(folder.path());
    }
    QString path() const { return folder.path(); }
};

int saveError(const QString &path, std::initializer_list<int> records, const SettingsModel &model)
{
    try {
        Save_Settings_Records(path, records, model);
    } catch (const Error &e) {
        return e.number();
    }
    return 0;
}

} // namespace

TEST(SettingsSaving, SerialRecordAloneIsRewritten)
{
    StartedFolder f;
    f.model.serial.Port = QStringLiteral("COM12");
    f.model.serial.Baud = QStringLiteral("9600");
    f.model.panel.IdText[0] = QStringLiteral("007");   // not saved: record 2 not named
    Save_Settings_Records(f.path(), {1}, f.model);

    const QByteArray after = readAll(f.path());
    ASSERT_EQ(after.size(), 896);
    EXPECT_EQ(recordBytes(after, 1), recordOf({"COM12", "9600", "2", "8", "None"}));
    EXPECT_EQ(after.mid(128), f.bytes.mid(128));
}

TEST(SettingsSaving, ExitWritesTheDecimalCodesOnly)
{
    StartedFolder f;
    SlotTables tables;
    for (int k = 0; k < SlotCount; ++k)
        tables.Slot_DP_Code[k] = 47 + k % 4;
    f.model.serial.Port = QStringLiteral("COM9");   // changed in memory, not saved at exit
    f.model.panel.NameText[2] = QStringLiteral("Oven");

    FakeReporter reporter;
    ErrorTrap trap(reporter, QStringLiteral("FM_Orbalis_Unload"));
    Run_Settings_Exit(f.path(), f.model, tables, trap);
    EXPECT_TRUE(reporter.messages.isEmpty());

    const QByteArray after = readAll(f.path());
    EXPECT_EQ(after.left(6 * 128), f.bytes.left(6 * 128));
    QList<QByteArray> codes;
    for (int k = 0; k < SlotCount; ++k)
        codes.append(QByteArray::number(47 + k % 4));
    EXPECT_EQ(recordBytes(after, 7), recordOf(codes));
    EXPECT_EQ(f.model.panel.DecimalText[1], "48");
}

TEST(SettingsSaving, DecimalCodeSurvivesStartAndExit)
{
    SettingsFolder folder;
    QByteArray file = recordOf({"COM1", "19200", "2", "8", "None"});
    for (int n = 2; n <= 6; ++n)
        file += recordOfSame("---");
    QList<QByteArray> dp;
    for (int k = 0; k < SlotCount; ++k)
        dp.append(k == 6 ? "50" : "48");
    file += recordOf(dp);
    writeAll(folder.path(), file);

    FakeReporter reporter;
    SettingsModel model;
    SlotTables tables;
    ErrorTrap load(reporter, QStringLiteral("FM_Orbalis_Load"));
    Run_Settings_Startup(folder.path(), model, load);
    Load_Panel_Table(model, tables, load);
    EXPECT_EQ(tables.Slot_DP_Code[6], 50);
    ErrorTrap unload(reporter, QStringLiteral("FM_Orbalis_Unload"));
    Run_Settings_Exit(folder.path(), model, tables, unload);

    EXPECT_TRUE(reporter.messages.isEmpty());
    EXPECT_EQ(readAll(folder.path()), file);
}

TEST(SettingsSaving, ChineseNamesTravelAsCodePage950)
{
    StartedFolder f;
    f.model.panel.NameText[0] = QStringLiteral("溫度一");
    f.model.panel.NameText[1] = QStringLiteral("Tank 2");
    Save_Settings_Records(f.path(), {3}, f.model);

    const QByteArray record3 = recordBytes(readAll(f.path()), 3);
    EXPECT_EQ(record3.left(10), QByteArray::fromHex("0600b7c5abd7a440") + QByteArray::fromHex("0600"));

    FakeReporter reporter;
    ErrorTrap trap(reporter, QStringLiteral("FM_Orbalis_Load"));
    SettingsModel reread;
    Run_Settings_Startup(f.path(), reread, trap);
    EXPECT_TRUE(reporter.messages.isEmpty());
    EXPECT_EQ(reread.panel.NameText[0], QStringLiteral("溫度一"));
    EXPECT_EQ(reread.panel.NameText[1], QStringLiteral("Tank 2"));
    EXPECT_EQ(reread.panel.NameText[2], QStringLiteral("---"));
}

TEST(SettingsSaving, RecordsThatCannotBeBuiltWriteNothing)
{
    StartedFolder f;
    f.model.serial.Port = QStringLiteral("COM2");

    // An emoji cannot be held by code page 950: nothing is written, record 1 included.
    f.model.panel.NameText[4] = QStringLiteral("Tank 😀");
    EXPECT_EQ(saveError(f.path(), {1, 3}, f.model), InvalidArgument);
    EXPECT_EQ(readAll(f.path()), f.bytes);

    // 16 names of 7 bytes: 112 bytes of text, 16 more than fit.
    for (QString &name : f.model.panel.NameText)
        name = QStringLiteral("Station");
    EXPECT_EQ(Record_Excess_Bytes(Record_Texts(f.model, 3)), 16);
    EXPECT_EQ(saveError(f.path(), {1, 3}, f.model), BadRecordLength);
    EXPECT_EQ(readAll(f.path()), f.bytes);

    // Through the trap, as a closing window would: reported, names kept in memory.
    FakeReporter reporter;
    ErrorTrap trap(reporter, QStringLiteral("FM_TableSetting_Unload"));
    SettingsFile file(f.path());
    file.open();
    trap.step([&] { Write_User_Setting(file, 3, f.model); });
    trap.step([&] { Write_User_Setting(file, 1, f.model); });
    file.close();
    EXPECT_EQ(reportedCodes(reporter), QList<int>{BadRecordLength});
    EXPECT_TRUE(reporter.messages.front().startsWith(QStringLiteral("At FM_TableSetting_Unload()")));
    EXPECT_EQ(f.model.panel.NameText[0], "Station");
    const QByteArray after = readAll(f.path());
    EXPECT_EQ(recordBytes(after, 3), recordBytes(f.bytes, 3));
    EXPECT_EQ(recordBytes(after, 1), recordOf({"COM2", "19200", "2", "8", "None"}));
}

TEST(SettingsSaving, StartupWithUnwritableNamesKeepsTheirRecord)
{
    SettingsFolder folder;
    // Record 3 holds names that fit; the model gets one that does not, then a
    // second startup must not overwrite record 3 with something else.
    FakeReporter reporter;
    ErrorTrap trap(reporter, QStringLiteral("FM_Orbalis_Load"));
    SettingsModel model;
    Run_Settings_Startup(folder.path(), model, trap);
    const QByteArray before = readAll(folder.path());

    SettingsFile file(folder.path());
    file.open();
    model.panel.NameText.fill(QStringLiteral("溫度一二"));   // 16 * 10 = 160 bytes
    EXPECT_THROW(Write_User_Setting(file, 3, model), Error);
    file.close();
    EXPECT_EQ(readAll(folder.path()), before);
}
