#include "settings/settings_store.h"
#include "settings_test_files.h"

#include <gtest/gtest.h>

using namespace orbalis;
using namespace orbalis::test;

namespace {

const QByteArray DefaultSerialRecord = recordOf({"COM1", "19200", "2", "8", "None"});

QByteArray defaultFile()
{
    return DefaultSerialRecord + recordOfSame("---") + recordOfSame("---") + recordOfSame("0")
        + recordOfSame("0") + recordOfSame("0") + recordOfSame("48");
}

// A complete file in which every entry of records 2..7 is different.
QByteArray distinctFile()
{
    QByteArray bytes = recordOf({"COM4", "9600", "1", "7", "Odd"});
    const char *tags[] = {"id", "nm", "r4", "r5", "r6", "dp"};
    for (const char *tag : tags) {
        QList<QByteArray> texts;
        for (int k = 0; k < 16; ++k)
            texts.append(QByteArray(tag) + QByteArray::number(k));
        bytes += recordOf(texts);
    }
    return bytes;
}

struct Startup {
    FakeReporter reporter;
    ErrorTrap trap{reporter, QStringLiteral("FM_Orbalis_Load")};
    SettingsModel model;

    void run(const QString &path) { Run_Settings_Startup(path, model, trap); }
};

} // namespace

TEST(SettingsStartup, FirstStartWritesTheDefaultFileByteForByte)
{
    SettingsFolder folder;
    Startup s;
    s.run(folder.path());
    EXPECT_TRUE(s.reporter.messages.isEmpty()) << s.reporter.messages.join('\n').toStdString();

    const QByteArray bytes = readAll(folder.path());
    ASSERT_EQ(bytes.size(), 896);
    EXPECT_EQ(recordBytes(bytes, 1).left(25),
              QByteArray::fromHex("0400") + "COM1" + QByteArray::fromHex("0500") + "19200"
                  + QByteArray::fromHex("0100") + "2" + QByteArray::fromHex("0100") + "8"
                  + QByteArray::fromHex("0400") + "None");
    EXPECT_EQ(bytes, defaultFile());

    EXPECT_EQ(s.model.serial.Baud, "19200");
    EXPECT_EQ(s.model.serial.StopBits, "2");
    EXPECT_EQ(s.model.serial.DataBits, "8");
    for (int k = 0; k < SlotCount; ++k) {
        EXPECT_EQ(s.model.panel.IdText[k], "---");
        EXPECT_EQ(s.model.panel.Reserved5[k], "0");
        EXPECT_EQ(s.model.panel.DecimalText[k], "48");
    }

    // A second start reads and rewrites the same bytes.
    Startup again;
    again.run(folder.path());
    EXPECT_EQ(readAll(folder.path()), defaultFile());
}

TEST(SettingsStartup, EveryRecordIsWrittenBackFromItsOwnTable)
{
    SettingsFolder folder;
    writeAll(folder.path(), distinctFile());
    Startup s;
    s.run(folder.path());
    EXPECT_TRUE(s.reporter.messages.isEmpty());
    EXPECT_EQ(readAll(folder.path()), distinctFile());
    EXPECT_EQ(s.model.panel.Reserved4[3], "r43");
    EXPECT_EQ(s.model.panel.Reserved6[3], "r63");
    EXPECT_EQ(s.model.serial.Parity, "Odd");
}

TEST(SettingsStartup, OnlyEmptyEntriesGetDefaults)
{
    SettingsFolder folder;
    QByteArray bytes = distinctFile();
    QList<QByteArray> ids;
    for (int k = 0; k < 16; ++k)
        ids.append(k == 3 ? QByteArray() : k == 5 ? QByteArray("   ") : QByteArray("00") + QByteArray::number(k));
    bytes.replace(128, 128, recordOf(ids));
    writeAll(folder.path(), bytes);

    Startup s;
    s.run(folder.path());
    EXPECT_EQ(s.model.panel.IdText[3], "---");
    EXPECT_EQ(s.model.panel.IdText[5], "   ");   // blanks are a value
    EXPECT_EQ(s.model.panel.IdText[4], "004");
    ids[3] = "---";
    QByteArray expected = distinctFile();
    expected.replace(128, 128, recordOf(ids));
    EXPECT_EQ(readAll(folder.path()), expected);
}

TEST(SettingsStartup, ShortFilesAreCompletedAndLongFilesKeepTheirTail)
{
    SettingsFolder folder;
    // Cut inside record 2's fifth entry text: the entries before it survive.
    const QByteArray full = distinctFile();
    writeAll(folder.path(), full.left(128 + 4 * 5 + 3));
    Startup cut;
    cut.run(folder.path());
    EXPECT_EQ(reportedCodes(cut.reporter), QList<int>{InputPastEndOfFile});
    EXPECT_TRUE(cut.reporter.messages.front().startsWith(QStringLiteral("At FM_Orbalis_Load()")));
    EXPECT_EQ(cut.model.serial.Port, "COM4");
    EXPECT_EQ(cut.model.panel.IdText[3], "id3");
    EXPECT_EQ(cut.model.panel.IdText[4], "---");
    EXPECT_EQ(cut.model.panel.NameText[0], "---");
    const QByteArray repaired = readAll(folder.path());
    ASSERT_EQ(repaired.size(), 896);
    EXPECT_EQ(recordBytes(repaired, 1), recordBytes(full, 1));

    // A file cut exactly between texts reads the rest as empty, silently.
    writeAll(folder.path(), full.left(128 + 4 * 5));
    Startup between;
    between.run(folder.path());
    EXPECT_TRUE(between.reporter.messages.isEmpty());
    EXPECT_EQ(between.model.panel.IdText[4], "---");

    // Bytes after the seventh record belong to nobody and stay untouched.
    const QByteArray tail = QByteArray::fromHex("deadbeef") + QByteArray(300, 'z');
    writeAll(folder.path(), full + tail);
    Startup longer;
    longer.run(folder.path());
    EXPECT_TRUE(longer.reporter.messages.isEmpty());
    EXPECT_EQ(readAll(folder.path()), full + tail);
}

TEST(SettingsStartup, BrokenRecordsAreReportedAndNeverSpreadToOthers)
{
    SettingsFolder folder;
    QByteArray bytes = distinctFile();
    // Record 3: the second name claims 300 bytes (runs past its record).
    bytes[256 + 5] = char(300 & 0xff);
    bytes[256 + 6] = char(300 >> 8);
    // Record 5: the third entry is not code page 950.
    QList<QByteArray> r5;
    for (int k = 0; k < 16; ++k)
        r5.append(k == 2 ? QByteArray::fromHex("a120") : QByteArray("r5") + QByteArray::number(k));
    bytes.replace(512, 128, recordOf(r5));
    writeAll(folder.path(), bytes);

    Startup s;
    s.run(folder.path());
    EXPECT_EQ(reportedCodes(s.reporter), (QList<int>{BadRecordLength, InvalidArgument}));
    EXPECT_TRUE(s.reporter.messages[0].contains(QStringLiteral("record 3")));
    EXPECT_TRUE(s.reporter.messages[1].contains(QStringLiteral("record 5")));
    EXPECT_EQ(s.model.panel.NameText[0], "nm0");
    EXPECT_EQ(s.model.panel.NameText[1], "---");
    EXPECT_EQ(s.model.panel.NameText[15], "---");
    EXPECT_EQ(s.model.panel.Reserved5[2], "0");
    EXPECT_EQ(s.model.panel.Reserved5[3], "r53");

    // Every other record is as it was; the broken ones now hold what could be kept.
    const QByteArray after = readAll(folder.path());
    for (int n : {1, 2, 4, 6, 7})
        EXPECT_EQ(recordBytes(after, n), recordBytes(distinctFile(), n)) << "record " << n;
    r5[2] = "0";
    EXPECT_EQ(recordBytes(after, 5), recordOf(r5));
}

TEST(SettingsStartup, RandomAndTruncatedFilesNeverStopTheStartup)
{
    std::uint32_t seed = 99;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0xff;
    };
    SettingsFolder folder;
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes = round % 2 ? distinctFile().left(int(next()) * 4) : QByteArray(int(next()) * 4, '\0');
        for (int i = 0; i < bytes.size(); i += 1 + int(next() % 16))
            bytes[i] = char(next());
        writeAll(folder.path(), bytes);
        Startup s;
        s.run(folder.path());
        // Whatever was wrong, every entry ends up with a text and the file is whole.
        for (int k = 0; k < SlotCount; ++k)
            ASSERT_FALSE(s.model.panel.DecimalText[k].isEmpty());
        ASSERT_FALSE(s.model.serial.Port.isEmpty());
        ASSERT_GE(readAll(folder.path()).size(), 896);
    }
}

TEST(SettingsStartup, FullDiskIsReportedForEveryRecordAndDefaultsStay)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    Startup s;
    s.run(QStringLiteral("/dev/full"));
    EXPECT_EQ(reportedCodes(s.reporter), QList<int>(7, DiskFull));
    EXPECT_EQ(s.model.serial.Port, "COM1");
}
