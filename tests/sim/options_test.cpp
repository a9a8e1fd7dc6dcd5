#include "sim/options.h"
#include "sim/settings_seed.h"

#include "settings/settings_store.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace orbalis::sim {
namespace {

ParsedOptions Parse(QStringList args)
{
    args.prepend(QStringLiteral("orbalis-sim"));
    return parseOptions(args, QStringLiteral("/opt/orbalis/bin"));
}

TEST(OptionsTest, DefaultsServeControllersOneToEightOnCom1OfTheProgramFolder)
{
    const ParsedOptions p = Parse({});
    ASSERT_TRUE(p.options) << p.error.toStdString();
    EXPECT_EQ(p.options->programDir, QStringLiteral("/opt/orbalis/bin"));
    EXPECT_EQ(p.options->com, 1);
    EXPECT_EQ(p.options->ids, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(p.options->turnaround, Micros(5000));
    EXPECT_EQ(p.options->replyDelay, Micros(0));
    EXPECT_EQ(p.options->baud, 19200);
    EXPECT_FALSE(p.options->initSettings);
    EXPECT_TRUE(p.options->logPath.isEmpty());
}

TEST(OptionsTest, EveryOptionIsTaken)
{
    const ParsedOptions p = Parse({"--program-dir", "/tmp/x", "--com=12", "--ids", "1-4,9", "--baud", "2400", "--turnaround", "0",
                                   "--reply-delay", "16", "--drop-rate", "0.1", "--bad-crc-rate", "0.2",
                                   "--late-rate", "1",
                                   "--garbage-rate", "0", "--error", "9:1", "--error", "2:15", "--blink", "4:2:700",
                                   "--blink", "1:1:100", "--seed", "77", "--refuse-write", "1:45",
                                   "--refuse-write", "9:0", "--alter-write", "2:108",
                                   "--log", "-", "--init-settings"});
    ASSERT_TRUE(p.options) << p.error.toStdString();
    const SimOptions &o = *p.options;
    EXPECT_EQ(o.programDir, QStringLiteral("/tmp/x"));
    EXPECT_EQ(o.com, 12);
    EXPECT_EQ(o.ids, (std::vector<int>{1, 2, 3, 4, 9}));
    EXPECT_EQ(o.turnaround, Micros(0));
    EXPECT_EQ(o.replyDelay, Micros(16000));
    EXPECT_EQ(o.baud, 2400);
    EXPECT_DOUBLE_EQ(o.faults.drop, 0.1);
    EXPECT_DOUBLE_EQ(o.faults.badCrc, 0.2);
    EXPECT_DOUBLE_EQ(o.faults.late, 1.0);
    EXPECT_DOUBLE_EQ(o.faults.garbage, 0.0);
    EXPECT_EQ(o.errors, (std::vector<std::pair<int, int>>{{9, 1}, {2, 15}}));
    EXPECT_EQ(o.refusedWrites, (std::vector<std::pair<int, int>>{{1, 45}, {9, 0}}));
    EXPECT_EQ(o.alteredWrites, (std::vector<std::pair<int, int>>{{2, 108}}));
    EXPECT_EQ(o.blinks, (std::vector<SimOptions::Blink>{{4, 2, 700}, {1, 1, 100}}));
    EXPECT_EQ(o.seed, 77u);
    EXPECT_EQ(o.logPath, QStringLiteral("-"));
    EXPECT_TRUE(o.initSettings);
    EXPECT_TRUE(Parse({"--help"}).options->help);
    EXPECT_TRUE(Parse({"-h"}).options->help);
}

TEST(OptionsTest, BadArgumentsAreRefusedWithAReason)
{
    const QStringList bad[] = {
        {"--frobnicate"}, {"stray"}, {"--com"}, {"--com", "0"}, {"--com", "33"}, {"--com", "x"},
        {"--ids", ""}, {"--ids", "0-3"}, {"--ids", "5-2"}, {"--ids", "1-300"}, {"--ids", "1,,2"},
        {"--ids", "1-2-3"}, {"--ids", "a"}, {"--turnaround", "-1"}, {"--turnaround", "5000"},
        {"--baud", "1200"}, {"--baud", "19201"}, {"--baud", "5000"}, {"--baud", "fast"},
        {"--reply-delay", "-1"}, {"--reply-delay", "1001"}, {"--reply-delay", "soon"},
        {"--drop-rate", "1.5"}, {"--bad-crc-rate", "-0.1"}, {"--late-rate", "nan"}, {"--garbage-rate", "x"},
        {"--error", "1"}, {"--error", "1:16"}, {"--error", "x:1"}, {"--error", "9:1"},   // 9 not served
        {"--blink", "1:3:500"}, {"--blink", "1:1:99"}, {"--blink", "1:1"}, {"--blink", "9:1:500"},
        {"--seed", "-1"}, {"--seed", "lots"}, {"--log", ""}, {"--program-dir", ""},
        {"--refuse-write", "1"}, {"--refuse-write", "1:109"}, {"--refuse-write", "9:1"},   // 9 not served
        {"--alter-write", "1:-1"}, {"--alter-write", "x:2"}, {"--alter-write", "1:2:3"},
    };
    for (const QStringList &args : bad) {
        const ParsedOptions p = Parse(args);
        EXPECT_FALSE(p.options) << args.join(u' ').toStdString();
        EXPECT_FALSE(p.error.isEmpty()) << args.join(u' ').toStdString();
    }
}

TEST(OptionsTest, IdListsReadAndPrintAsRanges)
{
    EXPECT_EQ(parseIdList(QStringLiteral("1,3,5")), (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(parseIdList(QStringLiteral(" 9 ,1-3,2")), (std::vector<int>{1, 2, 3, 9}));
    EXPECT_EQ(parseIdList(QStringLiteral("255")), (std::vector<int>{255}));
    EXPECT_EQ(formatIdList({1, 2, 3, 4, 5, 6, 7, 8}), QStringLiteral("1-8"));
    EXPECT_EQ(formatIdList({1, 3, 5}), QStringLiteral("1,3,5"));
    EXPECT_EQ(formatIdList({1, 2, 3, 4, 9}), QStringLiteral("1-4,9"));
    EXPECT_EQ(formatIdList({7}), QStringLiteral("7"));
}

TEST(SettingsSeedTest, BindsTheFirstSlotsToTheControllersAndNeverOverwrites)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("User Setting.ini"));
    ASSERT_TRUE(writeInitialSettings(dir.path(), {1, 2, 3, 4, 5, 6, 7, 8}));

    SettingsFile file(path);
    file.openReadOnly();
    SettingsModel m;
    for (int record = 1; record <= 7; ++record)
        Read_User_Setting(file, record, m);
    file.close();
    EXPECT_EQ(m.serial.Port, QStringLiteral("COM1"));
    EXPECT_EQ(m.serial.Baud, QStringLiteral("19200"));
    for (int slot = 0; slot < 8; ++slot) {
        EXPECT_EQ(m.panel.IdText[std::size_t(slot)], QStringLiteral("00%1").arg(slot + 1));
        EXPECT_EQ(m.panel.NameText[std::size_t(slot)], QStringLiteral("Oven%1").arg(slot + 1));
        EXPECT_EQ(m.panel.DecimalText[std::size_t(slot)], QStringLiteral("48"));
    }
    for (int slot = 8; slot < 16; ++slot)
        EXPECT_EQ(m.panel.IdText[std::size_t(slot)], QStringLiteral("---"));

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.size(), 7 * 128);
    const QByteArray before = f.readAll();
    f.close();
    EXPECT_FALSE(writeInitialSettings(dir.path(), {20}));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST(SettingsSeedTest, MoreThanSixteenControllersBindOnlyTheSixteenSlots)
{
    QTemporaryDir dir;
    std::vector<int> ids;
    for (int id = 100; id < 120; ++id)
        ids.push_back(id);
    ASSERT_TRUE(writeInitialSettings(dir.filePath(QStringLiteral("new/folder")), ids));
    SettingsFile file(dir.filePath(QStringLiteral("new/folder/User Setting.ini")));
    file.openReadOnly();
    SettingsModel m;
    Read_User_Setting(file, 2, m);
    EXPECT_EQ(m.panel.IdText[0], QStringLiteral("100"));
    EXPECT_EQ(m.panel.IdText[15], QStringLiteral("115"));
    Read_User_Setting(file, 3, m);
    EXPECT_EQ(m.panel.NameText[0], QStringLiteral("Oven1"));
    EXPECT_EQ(m.panel.NameText[15], QStringLiteral("Oven16"));
}

} // namespace
} // namespace orbalis::sim
