#include "settings_test_files.h"

#include <gtest/gtest.h>

using namespace orbalis;
using namespace orbalis::test;

namespace {

QByteArray defaultFile()
{
    return recordOf({"COM1", "19200", "2", "8", "None"}) + recordOfSame("---") + recordOfSame("---")
        + recordOfSame("0") + recordOfSame("0") + recordOfSame("0") + recordOfSame("48");
}

// A complete file in which every entry of records 2..7 is different.
QByteArray distinctFile()
{
    QByteArray bytes = recordOf({"COM4", "9600", "1", "7", "Odd"});
    for (const char *tag : {"id", "nm", "r4", "r5", "r6", "dp"}) {
        QList<QByteArray> texts;
        for (int k = 0; k < 16; ++k)
            texts.append(tag + QByteArray::number(k));
        bytes += recordOf(texts);
    }
    return bytes;
}

} // namespace

TEST(SettingsStartup, FirstStartWritesTheDefaultFileByteForByte)
{
    SettingsFolder folder;
    Startup first(folder.path());
    EXPECT_TRUE(first.codes().isEmpty());
    const QByteArray bytes = readAll(folder.path());
    ASSERT_EQ(bytes.size(), 896);
    EXPECT_EQ(bytes.left(25), QByteArray::fromHex("0400") + "COM1" + QByteArray::fromHex("0500") + "19200"
                                  + QByteArray::fromHex("0100") + "2" + QByteArray::fromHex("0100") + "8"
                                  + QByteArray::fromHex("0400") + "None");
    EXPECT_EQ(bytes, defaultFile());
    EXPECT_EQ(Record_Texts(first.model, 1), (QStringList{"COM1", "19200", "2", "8", "None"}));
    EXPECT_EQ(first.model.panel.Reserved5[15], "0");

    Startup second(folder.path());
    EXPECT_EQ(readAll(folder.path()), defaultFile());
}

TEST(SettingsStartup, EachRecordIsWrittenBackFromItsOwnTableAndOnlyEmptyTextsGetDefaults)
{
    SettingsFolder folder;
    writeAll(folder.path(), distinctFile());
    Startup same(folder.path());
    EXPECT_TRUE(same.codes().isEmpty());
    EXPECT_EQ(readAll(folder.path()), distinctFile());
    EXPECT_EQ(same.model.panel.Reserved6[3], "r63");

    QList<QByteArray> ids;
    for (int k = 0; k < 16; ++k)
        ids.append("id" + QByteArray::number(k));
    ids[3] = "";
    ids[5] = "   ";   // blanks are a value, not an empty entry
    QByteArray bytes = distinctFile();
    writeAll(folder.path(), bytes.replace(128, 128, recordOf(ids)));
    Startup filled(folder.path());
    EXPECT_EQ(filled.model.panel.IdText[3], "---");
    EXPECT_EQ(filled.model.panel.IdText[5], "   ");
    ids[3] = "---";
    EXPECT_EQ(readAll(folder.path()), distinctFile().replace(128, 128, recordOf(ids)));
}

TEST(SettingsStartup, ShortFilesAreCompletedAndLongFilesKeepTheirTail)
{
    SettingsFolder folder;
    const QByteArray full = distinctFile();
    // Cut inside record 2's fifth text: the texts before it survive.
    writeAll(folder.path(), full.left(128 + 4 * 5 + 3));
    Startup cut(folder.path());
    ASSERT_EQ(cut.codes(), QList<int>{InputPastEndOfFile});
    EXPECT_TRUE(cut.reporter.messages.front().startsWith(QStringLiteral("At FM_Orbalis_Load()")));
    EXPECT_EQ(cut.model.panel.IdText[3], "id3");
    EXPECT_EQ(cut.model.panel.IdText[4], "---");
    const QByteArray repaired = readAll(folder.path());
    ASSERT_EQ(repaired.size(), 896);
    EXPECT_EQ(recordBytes(repaired, 1), recordBytes(full, 1));

    const QByteArray tail = QByteArray::fromHex("deadbeef") + QByteArray(300, 'z');
    writeAll(folder.path(), full + tail);
    Startup longer(folder.path());
    EXPECT_TRUE(longer.codes().isEmpty());
    EXPECT_EQ(readAll(folder.path()), full + tail);
}

TEST(SettingsStartup, BrokenRecordsAreReportedAndNeverSpreadToOthers)
{
    SettingsFolder folder;
    QByteArray bytes = distinctFile();
    bytes[256 + 5] = char(300 & 0xff);   // record 3, second text: 300 bytes
    bytes[256 + 6] = char(300 >> 8);
    QList<QByteArray> r5;
    for (int k = 0; k < 16; ++k)
        r5.append(k == 2 ? QByteArray::fromHex("a120") : "r5" + QByteArray::number(k));   // not Big5
    writeAll(folder.path(), bytes.replace(512, 128, recordOf(r5)));

    Startup s(folder.path());
    ASSERT_EQ(s.codes(), (QList<int>{BadRecordLength, InvalidArgument}));
    EXPECT_TRUE(s.reporter.messages[0].contains(QStringLiteral("record 3")));
    EXPECT_TRUE(s.reporter.messages[1].contains(QStringLiteral("record 5")));
    EXPECT_EQ(s.model.panel.NameText[0], "nm0");
    EXPECT_EQ(s.model.panel.NameText[1], "---");
    EXPECT_EQ(s.model.panel.Reserved5[3], "r53");

    const QByteArray after = readAll(folder.path());
    for (int n : {1, 2, 4, 6, 7})
        EXPECT_EQ(recordBytes(after, n), recordBytes(distinctFile(), n)) << "record " << n;
    r5[2] = "0";
    EXPECT_EQ(recordBytes(after, 5), recordOf(r5));
}

TEST(SettingsStartup, RandomAndTruncatedFilesNeverStopTheStartup)
{
    std::uint32_t seed = 99;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16 & 0xff; };
    SettingsFolder folder;
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes = round % 2 ? distinctFile().left(int(next()) * 4) : QByteArray(int(next()) * 4, '\0');
        for (int i = 0; i < bytes.size(); i += 1 + int(next() % 16))
            bytes[i] = char(next());
        writeAll(folder.path(), bytes);
        Startup s(folder.path());
        for (int k = 0; k < SlotCount; ++k)
            ASSERT_FALSE(s.model.panel.DecimalText[k].isEmpty());
        ASSERT_GE(readAll(folder.path()).size(), 896);
    }
}
