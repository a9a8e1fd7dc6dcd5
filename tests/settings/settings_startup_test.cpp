#include "settings_test_files.h"

#include <QDir>
#include <QFileInfo>
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
    const QByteArray bytes = readFile(folder.path());
    ASSERT_EQ(bytes.size(), 896);
    EXPECT_EQ(bytes.left(25), QByteArray::fromHex("0400") + "COM1" + QByteArray::fromHex("0500") + "19200"
                                  + QByteArray::fromHex("0100") + "2" + QByteArray::fromHex("0100") + "8"
                                  + QByteArray::fromHex("0400") + "None");
    EXPECT_EQ(bytes, defaultFile());
    EXPECT_EQ(recordTexts(first.model, 1), (QStringList{"COM1", "19200", "2", "8", "None"}));
    EXPECT_EQ(first.model.panel.Reserved5[15], "0");

    Startup second(folder.path());
    EXPECT_EQ(readFile(folder.path()), defaultFile());
}

TEST(SettingsStartup, EachRecordIsWrittenBackFromItsOwnTableAndOnlyEmptyTextsGetDefaults)
{
    SettingsFolder folder;
    writeFile(folder.path(), distinctFile());
    Startup same(folder.path());
    EXPECT_TRUE(same.codes().isEmpty());
    EXPECT_EQ(readFile(folder.path()), distinctFile());
    EXPECT_EQ(same.model.panel.Reserved6[3], "r63");

    QList<QByteArray> ids;
    for (int k = 0; k < 16; ++k)
        ids.append("id" + QByteArray::number(k));
    ids[3] = "";
    ids[5] = "   ";   // blanks are a value, not an empty entry
    QByteArray bytes = distinctFile();
    writeFile(folder.path(), bytes.replace(128, 128, recordOf(ids)));
    Startup filled(folder.path());
    EXPECT_EQ(filled.model.panel.IdText[3], "---");
    EXPECT_EQ(filled.model.panel.IdText[5], "   ");
    ids[3] = "---";
    EXPECT_EQ(readFile(folder.path()), distinctFile().replace(128, 128, recordOf(ids)));
}

TEST(SettingsStartup, ShortFilesAreCompletedAndLongFilesKeepTheirTail)
{
    SettingsFolder folder;
    const QByteArray full = distinctFile();
    // Cut inside record 2's fifth text: the texts before it survive.
    writeFile(folder.path(), full.left(128 + 4 * 5 + 3));
    Startup cut(folder.path());
    ASSERT_EQ(cut.codes(), QList<int>{InputPastEndOfFile});
    EXPECT_TRUE(cut.reporter.messages.front().startsWith(QStringLiteral("At FM_Orbalis_Load()")));
    EXPECT_EQ(cut.model.panel.IdText[3], "id3");
    EXPECT_EQ(cut.model.panel.IdText[4], "---");
    const QByteArray repaired = readFile(folder.path());
    ASSERT_EQ(repaired.size(), 896);
    EXPECT_EQ(recordBytes(repaired, 1), recordBytes(full, 1));

    const QByteArray tail = QByteArray::fromHex("deadbeef") + QByteArray(300, 'z');
    writeFile(folder.path(), full + tail);
    Startup longer(folder.path());
    EXPECT_TRUE(longer.codes().isEmpty());
    EXPECT_EQ(readFile(folder.path()), full + tail);
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
    writeFile(folder.path(), bytes.replace(512, 128, recordOf(r5)));

    Startup s(folder.path());
    ASSERT_EQ(s.codes(), (QList<int>{BadRecordLength, InvalidArgument}));
    EXPECT_TRUE(s.reporter.messages[0].contains(QStringLiteral("record 3")));
    EXPECT_TRUE(s.reporter.messages[1].contains(QStringLiteral("record 5")));
    EXPECT_EQ(s.model.panel.NameText[0], "nm0");
    EXPECT_EQ(s.model.panel.NameText[1], "---");
    EXPECT_EQ(s.model.panel.Reserved5[3], "r53");

    const QByteArray after = readFile(folder.path());
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
        writeFile(folder.path(), bytes);
        Startup s(folder.path(), startTime().addSecs(round));
        for (int k = 0; k < SlotCount; ++k)
            ASSERT_FALSE(s.model.panel.DecimalText[k].isEmpty());
        ASSERT_GE(readFile(folder.path()).size(), 896);
        // Whatever was wrong is mended for good.
        Startup again(folder.path(), startTime().addSecs(round));
        ASSERT_TRUE(again.codes().isEmpty())
            << "round " << round << ": " << again.reporter.messages.join(u'\n').toStdString();
    }
}

namespace {

QByteArray withPrefix(QByteArray bytes, int at, int length)
{
    bytes[at] = char(length & 0xff);
    bytes[at + 1] = char(length >> 8);
    return bytes;
}

QStringList damagedCopies(const SettingsFolder &folder)
{
    return QDir(folder.dir.path()).entryList({QStringLiteral("User Setting.ini.damaged-*")}, QDir::Files);
}

} // namespace

TEST(SettingsStartup, ADamagedFileIsKeptBesideItAndRepairedForGood)
{
    const QByteArray full = distinctFile();
    QList<QByteArray> r5;
    for (int k = 0; k < 16; ++k)
        r5.append(k == 2 ? QByteArray::fromHex("a120") : "r5" + QByteArray::number(k));   // not Big5
    // A long first name and a broken prefix after it: the 15 default names do not fit beside it.
    const QByteArray longThenBroken = lengthPrefixed(QByteArray(90, 'N')) + "\xff\xff";
    struct Case {
        const char *what;
        QByteArray bytes;
        QList<int> codes;      // empty: not damaged, nothing kept, nothing said
        int wholeDefaults;     // the record that takes all its defaults, 0 for none
    };
    const Case cases[] = {
        {"a length prefix past its record", withPrefix(full, 256 + 5, 300), {BadRecordLength}, 0},
        {"a text that is not code page 950", QByteArray(full).replace(512, 128, recordOf(r5)), {InvalidArgument}, 0},
        {"a file cut inside a text", full.left(128 + 4 * 5 + 3), {InputPastEndOfFile}, 0},
        {"defaults that make a record too long",
         QByteArray(full).replace(256, 128, longThenBroken + QByteArray(128 - longThenBroken.size(), '\0')),
         {BadRecordLength}, 3},
        {"a cut record whose texts with defaults do not fit",
         full.left(256) + lengthPrefixed(QByteArray(120, 'N')), {BadRecordLength}, 3},
        {"nothing but broken prefixes", QByteArray(896, '\xff'), QList<int>(7, BadRecordLength), 0},
        {"merely short: two records", full.left(256), {}, 0},
        {"merely short: empty", QByteArray(""), {}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SettingsFolder folder;
        ASSERT_TRUE(writeFile(folder.path(), c.bytes));
        Startup first(folder.path());
        EXPECT_EQ(first.codes(), c.codes);
        const QString copy = folder.path() + QStringLiteral(".damaged-240303-140307");
        if (c.codes.isEmpty()) {
            EXPECT_TRUE(damagedCopies(folder).isEmpty());
        } else {
            EXPECT_EQ(damagedCopies(folder), QStringList{QFileInfo(copy).fileName()});
            EXPECT_EQ(readFile(copy), c.bytes);   // the file as it was
            for (const QString &m : first.reporter.messages)
                EXPECT_TRUE(m.endsWith(QStringLiteral("; the file as it was is kept as \"") + copy
                                       + QStringLiteral("\")")))
                    << m.toStdString();
        }
        if (c.wholeDefaults) {
            EXPECT_EQ(recordTexts(first.model, c.wholeDefaults), defaultRecordTexts(c.wholeDefaults));
            EXPECT_TRUE(first.reporter.messages.front().contains(QStringLiteral(
                "more than the 128 of a record, so all its texts take their defaults")));
        }
        EXPECT_EQ(readFile(folder.path()).size(), 896);

        // The next start finds a sound file: no box, nothing kept again, the same settings.
        Startup second(folder.path(), startTime().addSecs(60));
        EXPECT_TRUE(second.codes().isEmpty()) << second.reporter.messages.join(u'\n').toStdString();
        EXPECT_EQ(damagedCopies(folder).size(), c.codes.isEmpty() ? 0 : 1);
        for (int n = 1; n <= SettingsRecordCount; ++n)
            EXPECT_EQ(recordTexts(second.model, n), recordTexts(first.model, n)) << "record " << n;
    }
}

TEST(SettingsStartup, TheMessageOfARebuiltRecordSaysWhyAndWhereTheOldFileIs)
{
    SettingsFolder folder;
    const QByteArray longThenBroken = lengthPrefixed(QByteArray(90, 'N')) + "\xff\xff";
    writeFile(folder.path(), QByteArray(distinctFile())
                                .replace(256, 128, longThenBroken + QByteArray(128 - longThenBroken.size(), '\0')));
    Startup s(folder.path());
    ASSERT_EQ(s.reporter.messages.size(), 1);
    EXPECT_EQ(s.reporter.titles[0], QStringLiteral("Attention! Wrong"));
    EXPECT_EQ(s.reporter.messages[0],
              QStringLiteral("At FM_Orbalis_Load()\r\nWrong code: 59\r\nWrong reasons: Bad record length "
                             "(\"User Setting.ini\" record 3: text 2 claims 65535 bytes, past the end of its "
                             "record; with defaults for its missing texts it would need 167 bytes, more than the "
                             "128 of a record, so all its texts take their defaults; the file as it was is kept as \"")
                  + folder.path() + QStringLiteral(".damaged-240303-140307\")"));
    EXPECT_EQ(s.reporter.beeps, 1);
}

TEST(SettingsStartup, ADamagedFileWhoseCopyCannotBeKeptIsLeftAsItWas)
{
    const QByteArray damaged = withPrefix(distinctFile(), 256 + 5, 300);
    SettingsFolder folder;
    ASSERT_TRUE(writeFile(folder.path(), damaged));
    const auto all = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    QFile::setPermissions(folder.path(), all | QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther);
    QFile::setPermissions(folder.dir.path(), all | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    struct WritableAgain {
        QString path;
        ~WritableAgain() { QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); }
    } writableAgain{folder.dir.path()};
    {
        UnprivilegedScope unprivileged;
        if (QFile(folder.dir.filePath(QStringLiteral("probe"))).open(QIODevice::WriteOnly))
            GTEST_SKIP() << "permission bits do not bind this process";
        Startup s(folder.path());
        ASSERT_EQ(s.codes(), (QList<int>{BadRecordLength, PermissionDenied}));
        EXPECT_TRUE(s.reporter.messages[1].contains(QStringLiteral("User Setting.ini.damaged-240303-140307")));
        EXPECT_EQ(s.model.panel.NameText[1], "---");   // the defaults hold in memory
    }
    EXPECT_EQ(readFile(folder.path()), damaged);
    EXPECT_TRUE(damagedCopies(folder).isEmpty());
}
