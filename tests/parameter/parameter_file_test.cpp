// The parameter file format and its refusals, without a window.

#include "parameter/file_dialogs.h"
#include "core/parameter_file.h"
#include "core/write_cycle.h"

#include "base/error.h"
#include "model/display.h"
#include "model/parameter_value.h"
#include "settings/cp950.h"
#include "support/fakes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <random>
#include <tuple>

using namespace orbalis;

namespace {

// Every parameter's text as a controller's defaults would show them.
QStringList sampleTexts()
{
    QStringList texts;
    for (const RegisterInfo &r : holdingRegisters()) {
        if (r.kind == ValueKind::Choice)
            texts << QString::fromLatin1(r.enumeration->items.back().data(),
                                         qsizetype(r.enumeration->items.back().size()));
        else
            texts << QStringLiteral("%1.5").arg(r.address);
    }
    return texts;
}

QByteArray record(const QByteArray &text, int length = -1)
{
    QByteArray r;
    const int n = length < 0 ? int(text.size()) : length;
    r.append(char(n & 0xFF)).append(char(n >> 8)).append(text);
    r.append(ParameterRecordSize - r.size(), '\0');
    return r;
}

void expectRefused(const std::function<void()> &call, int number, const QString &detailStart)
{
    try {
        call();
        ADD_FAILURE() << "not refused";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), number);
        EXPECT_TRUE(e.detail().startsWith(detailStart)) << e.detail().toStdString();
    }
}

} // namespace

TEST(ParameterFileTest, RecordsHoldTrimmedLengthPrefixedCodePage950Texts)
{
    QStringList texts = sampleTexts();
    texts[0] = QStringLiteral("  25.5 ");
    texts[15] = QStringLiteral("AT2 ");
    texts[6] = QStringLiteral("溫度");   // an editable combo box takes any text
    const QByteArray file = buildParameterFile(texts);
    ASSERT_EQ(file.size(), 13952);
    EXPECT_EQ(file.first(128), record("25.5"));
    EXPECT_EQ(file.mid(15 * 128, 128), record("AT2"));
    EXPECT_EQ(file.mid(6 * 128, 128), record(encodeCp950(QStringLiteral("溫度"))));
    EXPECT_EQ(file.mid(108 * 128, 128), record("108.5"));

    QStringList expected = texts;
    for (QString &t : expected)
        t = t.trimmed();
    EXPECT_EQ(parseParameterFile(file), expected);
    // A longer file loads its first 109 records.
    EXPECT_EQ(parseParameterFile(file + QByteArray(300, 'x')), expected);
}

TEST(ParameterFileTest, AFileIsRefusedWholeNamingTheRecordAndTheCause)
{
    const QByteArray good = buildParameterFile(sampleTexts());
    auto withRecord = [&](int address, const QByteArray &bytes) {
        QByteArray f = good;
        f.replace(address * 128, 128, bytes);
        return f;
    };
    struct Case {
        const char *what;
        QByteArray file;
        int number;
        const char *detail;
    };
    const Case cases[] = {
        {"empty", QByteArray(), InputPastEndOfFile, "the file holds 0 bytes; a parameter file holds 109 records"},
        {"one byte short", good.chopped(1), InputPastEndOfFile, "the file holds 13951 bytes"},
        {"length past the record", withRecord(3, record("1", 127)), BadRecordLength,
         "record 4 (SSV): its length prefix"},
        {"length prefix 0xFFFF", withRecord(108, record("", 0xFFFF)), BadRecordLength, "record 109 (PVLA)"},
        {"not code page 950", withRecord(0, record("\xA1\x20")), InvalidArgument,
         "record 1 (SV): its text is not code page 950"},
        {"RUN that is no item", withRecord(15, record("AT3")), InvalidArgument,
         "record 16 (RUN): \"AT3\" is none of the items"},
        {"empty TYPE", withRecord(40, record("")), InvalidArgument, "record 41 (TYPE): \"\" is none of the items"},
        {"SF8 of another list", withRecord(100, record("ON")), InvalidArgument, "record 101 (SF8)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        expectRefused([&] { parseParameterFile(c.file); }, c.number, QString::fromUtf8(c.detail));
    }
    // An editable combo box takes any text; the write-all decides on it later.
    EXPECT_EQ(parseParameterFile(withRecord(6, record("A_XX")))[6], "A_XX");
}

TEST(ParameterFileTest, ANumericRecordThatIsNoNumberAsTheWindowShowsOneRefusesTheFile)
{
    const QByteArray good = buildParameterFile(sampleTexts());
    struct Case {
        int address;
        QByteArray text;
        const char *shown;   // as the message quotes it
    };
    const Case refused[] = {
        {0, "abc", "abc"},
        {0, encodeCp950(QStringLiteral("１２")), "１２"},
        {0, "12,5", "12,5"},
        {0, "\xFF\xFF", "<U+F8F8><U+F8F8>"},
        {0, "", ""},
        {0, "1\x80 0", "1<U+0080> 0"},
        {17, "1.2.3", "1.2.3"},
        {54, "+-1", "+-1"},
        {102, "1e3", "1e3"},
        {55, "0x10", "0x10"},
        {62, "- 5", "- 5"},
        {103, ".", "."},
        {8, "00:30", "00:30"},    // only what the box shows before a read passes
        {14, "1 0", "1 0"},
    };
    for (const Case &c : refused) {
        SCOPED_TRACE(c.shown);
        QByteArray file = good;
        file.replace(c.address * 128, 128, record(c.text));
        expectRefused([&] { parseParameterFile(file); }, InvalidArgument,
                      recordName(c.address) + QStringLiteral(": \"%1\" is not a number").arg(QString::fromUtf8(c.shown)));
    }

    const Case accepted[] = {
        {0, "-12.5", "-12.5"}, {0, "+3", "+3"}, {0, " 007 ", "007"}, {0, "5.", "5."},
        {0, ".5", ".5"},      {8, "00:00", "00:00"}, {13, "00:00", "00:00"}, {54, "-0", "-0"},
    };
    for (const Case &c : accepted) {
        SCOPED_TRACE(c.shown);
        QByteArray file = good;
        file.replace(c.address * 128, 128, record(c.text));
        EXPECT_EQ(parseParameterFile(file)[c.address], QString::fromUtf8(c.shown));
    }
}

TEST(ParameterFileTest, EveryValueTheWindowCanShowIsSavedAndWrittenBackAsItWasRead)
{
    // One register of each kind stands for all of its kind: the check looks at
    // the control and the initial text only, the encoding at the kind.
    struct Shown {
        const char *what;
        int address;
        std::function<QString(std::uint16_t)> text;
        int dpCode;
    };
    std::vector<Shown> shown = {
        {"RT1, unsigned", 62, [](std::uint16_t u) { return unsignedText(u); }, 47},
        {"ID, signed", 54, [](std::uint16_t u) { return signedText(std::int16_t(u)); }, 47},
        {"JP1 read back unsigned", 66, [](std::uint16_t u) { return unsignedText(u); }, 47},
        {"PB1, tenths", 17, [](std::uint16_t u) { return tenthsText(std::int16_t(u)); }, 47},
    };
    for (int dp : {47, 48, 49, 50})
        shown.push_back({"SV, scaled", 0, [dp](std::uint16_t u) { return scaledText(std::int16_t(u), dp); }, dp});
    test::RecordingSink controls;
    for (const Shown &s : shown) {
        SCOPED_TRACE(std::string(s.what) + " at decimal-point code " + std::to_string(s.dpCode));
        int wrong = 0;
        for (int u = 0; u <= 0xFFFF; ++u) {
            const QString text = s.text(std::uint16_t(u));
            controls.texts[s.address] = text;
            const ParameterValue v = Get_Parameter_Value(s.address, controls, s.dpCode);
            bool passes = true;
            try {
                checkParameterText(s.address, text);
            } catch (const Error &) {
                passes = false;
            }
            if ((!passes || v.status != ParameterValue::Ok || v.value != u) && ++wrong == 1)
                ADD_FAILURE() << "register value " << u << " shown as " << text.toStdString() << " passes "
                              << passes << ", written as " << v.value;
        }
        EXPECT_EQ(wrong, 0);
    }

    // What a box shows before the first read, and every item of every list.
    QStringList fresh;
    for (const RegisterInfo &r : holdingRegisters()) {
        const QString initial = QString::fromLatin1(r.initialText.data(), qsizetype(r.initialText.size()));
        fresh << (r.listOnly ? QString::fromLatin1(r.enumeration->items.front().data(),
                                                   qsizetype(r.enumeration->items.front().size()))
                             : initial);
        if (!r.enumeration)
            continue;
        for (std::string_view item : r.enumeration->items) {
            EXPECT_NO_THROW(
                checkParameterText(r.address, QString::fromLatin1(item.data(), qsizetype(item.size())).trimmed()));
        }
    }
    EXPECT_EQ(parseParameterFile(buildParameterFile(fresh)), fresh);
    // A list box that shows nothing yet cannot be loaded back, so it is not saved.
    fresh[15].clear();
    expectRefused([&] { buildParameterFile(fresh); }, InvalidArgument,
                  "record 16 (RUN): \"\" is none of the items \"OFF\", \"AT1\", \"AT2 \"");
}

TEST(ParameterFileTest, ATextThatDoesNotFitIsRefusedBeforeAnythingIsBuilt)
{
    QStringList texts = sampleTexts();
    texts[47] = QString(126, u'9');
    EXPECT_EQ(buildParameterFile(texts).size(), 13952);
    texts[47] = QString(127, u'9');
    expectRefused([&] { buildParameterFile(texts); }, BadRecordLength, "record 48 (HILT): the text");
    texts[47] = QStringLiteral("1");
    texts[2] = QStringLiteral("😀");
    expectRefused([&] { buildParameterFile(texts); }, InvalidArgument, "record 3 (SOFT)");
    texts[2] = QStringLiteral("1");
    // Chinese takes two bytes a character: 63 fit, 64 do not.
    texts[6] = QString(63, QChar(0x6EAB));
    EXPECT_NO_THROW(buildParameterFile(texts));
    texts[6] = QString(64, QChar(0x6EAB));
    expectRefused([&] { buildParameterFile(texts); }, BadRecordLength, "record 7 (A1FU)");
}

TEST(ParameterFileTest, AFailedWriteLeavesNoHalfFileAndTheTargetAsItWas)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("a.par"));
    const QByteArray bytes = buildParameterFile(sampleTexts());
    writeParameterFile(path, bytes);
    EXPECT_EQ(readParameterFile(path), bytes);
    // What follows the 109 records is not even read.
    QFile longer(dir.filePath(QStringLiteral("longer.par")));
    ASSERT_TRUE(longer.open(QIODevice::WriteOnly));
    longer.write(bytes + QByteArray(1 << 20, 'x'));
    longer.close();
    EXPECT_EQ(readParameterFile(longer.fileName()), bytes);
    longer.remove();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.par"});

    // Each says which of the two failed, then the cause.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.par")));
    const QString folder = QStringLiteral("it is a directory, not a regular file");
    const QString none = QString::fromLocal8Bit(std::strerror(ENOENT));
    for (const auto &[bad, number, cause] : {std::tuple(QStringLiteral("folder.par"), int(PathFileAccess), folder),
                                             std::tuple(QStringLiteral("none/b.par"), int(FileNotFound), none)}) {
        SCOPED_TRACE(bad.toStdString());
        expectRefused([&] { writeParameterFile(dir.filePath(bad), bytes); }, number, "cannot write: " + cause);
        expectRefused([&] { readParameterFile(dir.filePath(bad)); }, number, "cannot read: " + cause);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.par"});
    try {
        readParameterFile(dir.filePath(QStringLiteral("missing.par")));
        ADD_FAILURE();
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), FileNotFound);
    }
}

TEST(ParameterFileTest, DialogFiltersInQtForm)
{
    EXPECT_EQ(qtFileFilter(QStringLiteral("(*.par)|*.par")), "*.par");
    EXPECT_EQ(qtFileFilter(QStringLiteral("Parameters|*.par|All|*")), "Parameters (*.par);;All (*)");
}

TEST(ParameterFileTest, RandomAndTruncatedBytesAreRefusedOrReadNeverMisread)
{
    std::mt19937 random(7);
    const QByteArray good = buildParameterFile(sampleTexts());
    auto bytes = [&](qsizetype n) {
        QByteArray b(n, '\0');
        for (char &c : b)
            c = char(random());
        return b;
    };
    for (int round = 0; round < 300; ++round) {
        QByteArray file;
        switch (round % 3) {
        case 0: file = bytes(qsizetype(random() % 14500)); break;
        case 1: file = good.left(qsizetype(random() % good.size())); break;
        default:   // a good file with a few bytes changed
            file = good;
            for (int k = 0; k < 4; ++k)
                file[qsizetype(random() % file.size())] = char(random());
        }
        try {
            const QStringList texts = parseParameterFile(file);
            EXPECT_EQ(texts.size(), 109);
            EXPECT_GE(file.size(), 13952);
        } catch (const Error &e) {
            EXPECT_FALSE(e.detail().isEmpty());
        }
        // Whatever comes back on the line is judged, never read past its end.
        const QByteArray reply = bytes(qsizetype(random() % 12));
        EXPECT_NE(WriteCycle::judgeWriteReply(reply, good.left(8)).text, QString());
    }
}
