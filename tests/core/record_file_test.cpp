// Record files read back: lines the console's own recorder writes, lines it
// never writes, days that meet at midnight, and the gap rule on whole-second
// stamps.

#include "core/gap_rule.h"
#include "core/record_file_reader.h"

#include "core/record_format.h"
#include "model/display.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/replies.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using namespace orbalis;

namespace {

const QDate Day(2024, 3, 3);

struct Live {
    std::int16_t pv = 0, sv = 0, outl = 0;
    std::uint16_t status = 0;
};

// The line the recorder writes for a reply with these values.
QByteArray recordLine(const QTime &time, std::int32_t dpCode, const Live &v)
{
    const QByteArray reply = test::liveReply(5, {{4096, std::uint16_t(v.pv)}, {4097, std::uint16_t(v.sv)},
                                                 {4098, std::uint16_t(v.outl)}, {4099, v.status},
                                                 {4100, 754}, {4114, 0xFFFF}, {4125, 17}});
    test::RecordingSink boxes;
    DisplayTargets targets;
    targets.liveValues = &boxes;
    showLiveValues(reply, dpCode, targets);
    return orbalis::recordLine(time, boxes).toLatin1();
}

QByteArray header() { return recordHeader().toLatin1(); }

qint64 msOf(const QDate &day, const QTime &time) { return QDateTime(day, time).toMSecsSinceEpoch(); }

} // namespace

TEST(RecordFileReader, NamesItsFilesAsTheRecorderDoes)
{
    const struct {
        QDate day;
        int id;
        const char *name;
    } cases[] = {{Day, 5, "240303 5.Csv"}, {QDate(2031, 12, 31), 255, "311231 255.Csv"}, {QDate(2000, 1, 9), 1, "000109 1.Csv"}};
    for (const auto &c : cases) {
        EXPECT_EQ(recordFileName(c.day, c.id), c.name);
        EXPECT_EQ(RecordFileReader(QStringLiteral("/program"), c.id).path(c.day), QStringLiteral("/program/") + c.name);
    }
}

TEST(RecordFileReader, ReadsEveryLineTheRecorderWrites)
{
    struct Case {
        std::int32_t dpCode;
        Live values;
        int decimals;
        double pv, sv, output;
        bool alarm1, alarm2;
    };
    const Case cases[] = {
        {47, {1234, -5, 1000, 0x0000}, 0, 1234, -5, 100.0, false, false},
        {48, {-5, 1500, 553, 0x0101}, 1, -0.5, 150.0, 55.3, true, false},
        {49, {32767, -32768, 0, 0x0F02}, 2, 327.67, -327.68, 0.0, false, true},
        {50, {5, 1000, -1, 0x2103}, 3, 0.005, 1.0, -0.1, true, true},
        // The lamps stay dark for a low nibble above 3, and so does the trend.
        {48, {100, 100, 0, 0x0005}, 1, 10.0, 10.0, 0.0, false, false},
        {48, {100, 100, 0, 0x000F}, 1, 10.0, 10.0, 0.0, false, false},
    };
    for (const Case &c : cases) {
        const QByteArray line = recordLine(QTime(14, 3, 7), c.dpCode, c.values);
        SCOPED_TRACE(line.toStdString());
        const auto s = parseRecordLine(line, Day);
        ASSERT_TRUE(s.has_value());
        EXPECT_EQ(s->timeMs, msOf(Day, QTime(14, 3, 7)));
        EXPECT_EQ(s->decimals(), c.decimals);
        EXPECT_EQ(s->pv, c.values.pv);
        EXPECT_EQ(s->sv, c.values.sv);
        EXPECT_EQ(s->output, c.values.outl);
        EXPECT_DOUBLE_EQ(s->pvValue(), c.pv);
        EXPECT_DOUBLE_EQ(s->svValue(), c.sv);
        EXPECT_DOUBLE_EQ(s->outputPercent(), c.output);
        EXPECT_EQ(s->alarm1(), c.alarm1);
        EXPECT_EQ(s->alarm2(), c.alarm2);
        EXPECT_FALSE(s->breaksBefore());
    }
}

TEST(RecordFileReader, RefusesLinesTheRecorderNeverWrites)
{
    const QByteArray good = recordLine(QTime(7, 3, 7), 48, {1234, 1500, 553, 0x0101});
    auto replaced = [&](int field, const QByteArray &text) {
        QList<QByteArray> fields = good.split(',');
        fields[field] = text;
        return fields.join(',');
    };
    const std::pair<const char *, QByteArray> cases[] = {
        {"cut in a value", good.left(good.size() / 2)},
        {"cut after a comma", good.left(good.lastIndexOf(',') + 1)},
        {"cut before the last value", good.left(good.lastIndexOf(','))},
        {"one value too many", good + ",17"},
        {"foreign text", "Total,,,,"},
        {"empty", ""},
        {"a spreadsheet's date and time", replaced(0, "2024-03-03 07:03:07")},
        {"hour 24", replaced(0, "24:00:00")},
        {"no leading zero", replaced(0, "7:03:07")},
        {"PV not a number", replaced(1, "abc")},
        {"PV with four decimals", replaced(1, "1.2345")},
        {"PV ending in a point", replaced(1, "12.")},
        {"PV beyond 16 bits", replaced(1, "40000")},
        {"PV and SV with other decimals", replaced(2, "150.00")},
        {"Outl without its tenths", replaced(3, "55")},
        {"status of three digits", replaced(4, "101")},
        {"status not hexadecimal", replaced(4, "01G1")},
    };
    ASSERT_TRUE(parseRecordLine(good, Day).has_value());
    for (const auto &[what, line] : cases)
        EXPECT_FALSE(parseRecordLine(line, Day).has_value()) << what << ": " << line.toStdString();
}

TEST(RecordFileReader, SkipsAndCountsWhatDoesNotParseInAFile)
{
    const QByteArray a = recordLine(QTime(10, 0, 0), 48, {100, 200, 10, 0});
    const QByteArray b = recordLine(QTime(10, 0, 2), 48, {101, 200, 11, 1});
    const QByteArray c = recordLine(QTime(10, 0, 3), 48, {102, 200, 12, 2});
    const struct {
        const char *what;
        QByteArray content;
        int samples, skipped;
    } cases[] = {
        {"as written", header() + "\r\n" + a + "\r\n" + b + "\r\n" + c + "\r\n", 3, 0},
        {"partial last line", header() + "\r\n" + a + "\r\n" + b + "\r\n" + c.left(40), 2, 1},
        {"whole last line without its end", header() + "\r\n" + a + "\r\n" + c, 1, 1},
        {"a foreign line and a blank one", header() + "\r\n" + a + "\r\nsum,=A2+A3\r\n\r\n" + b + "\r\n", 2, 2},
        {"saved with bare line feeds", header() + "\n" + a + "\n" + b + "\n", 2, 0},
        {"saved with bare carriage returns", header() + "\r" + a + "\r" + b + "\r" + c + "\r", 3, 0},
        {"line ends of all three kinds", header() + "\r" + a + "\n" + b + "\r\n" + c + "\r", 3, 0},
        {"bare carriage returns, a blank line", header() + "\r" + a + "\r\r" + b + "\r", 2, 1},
        {"header only", header() + "\r\n", 0, 0},
        {"nothing", "", 0, 0},
        {"not text at all", QByteArray("\x00\xff\x10\r\n\x01", 6), 0, 2},
    };
    for (const auto &c : cases) {
        const RecordFileLines lines = parseRecordFile(c.content, Day);
        EXPECT_EQ(int(lines.samples.size()), c.samples) << c.what;
        EXPECT_EQ(lines.skipped, c.skipped) << c.what;
    }
}

namespace {

// Lines of a slot polled every `periodMs` from `start`, stamped to the second
// as the recorder stamps them; `holes` are replies missed (index -> count).
struct Written {
    QDateTime at;
    std::int16_t pv;
};

std::vector<Written> pollTimes(const QDateTime &start, qint64 periodMs, int count,
                               const std::map<int, int> &holes = {})
{
    std::vector<Written> out;
    qint64 t = 0;
    for (int k = 0; k < count; ++k) {
        if (auto it = holes.find(k); it != holes.end())
            t += it->second * periodMs;
        out.push_back({start.addMSecs(t), std::int16_t(k)});
        t += periodMs;
    }
    return out;
}

// Writes every line into the file of its day, as the recorder does.
void writeRecords(const QString &dir, int id, const std::vector<Written> &lines)
{
    std::map<QDate, QByteArray> files;
    for (const Written &w : lines) {
        QByteArray &f = files[w.at.date()];
        if (f.isEmpty())
            f = header() + "\r\n";
        f += recordLine(w.at.time(), 48, {w.pv, 500, 250, 0}) + "\r\n";
    }
    for (const auto &[day, content] : files)
        ASSERT_TRUE(test::writeFile(QDir(dir).filePath(recordFileName(day, id)), content));
}

} // namespace

TEST(RecordFileReader, JoinsDaysAtMidnightAndNeverReadsAnotherController)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Controller 5 every 1.6 s from 23:50 on 3 March to 00:10 on 4 March.
    const auto lines = pollTimes(QDateTime(Day, QTime(23, 50)), 1600, 750);
    ASSERT_NO_FATAL_FAILURE(writeRecords(dir.path(), 5, lines));
    // Files that must stay out: other controllers, and names the recorder never writes.
    const QByteArray intruder = header() + "\r\n" + recordLine(QTime(23, 55), 48, {-999, 500, 250, 0}) + "\r\n";
    for (const char *name : {"240303 15.Csv", "240303 51.Csv", "240303 05.Csv", "240303 5.csv", "240303 5.Csv.bak"})
        ASSERT_TRUE(test::writeFile(dir.filePath(QString::fromLatin1(name)), intruder));

    const RecordLoad load = RecordFileReader(dir.path(), 5).load(Day.addDays(2), Day, 1600);
    EXPECT_EQ(load.filesRead, QStringList({"240303 5.Csv", "240304 5.Csv"}));
    EXPECT_EQ(load.filesMissing, QStringList({"240305 5.Csv"}));
    EXPECT_TRUE(load.filesFailed.isEmpty());
    EXPECT_EQ(load.linesSkipped, 0);
    ASSERT_EQ(load.samples.size(), lines.size());
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const TrendSample &s = load.samples[k];
        EXPECT_EQ(s.pv, lines[k].pv) << k;   // nothing of controller 15, 51, ... in between
        EXPECT_EQ(s.timeMs / 1000, lines[k].at.toMSecsSinceEpoch() / 1000) << k;
        EXPECT_FALSE(s.breaksBefore()) << "line " << k << " at " << lines[k].at.toString().toStdString();
    }
}

TEST(RecordFileReader, StopsAtItsLimitOfLinesAndSaysWhere)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // 375 lines on 3 March from 23:50, 375 on 4 March.
    const auto lines = pollTimes(QDateTime(Day, QTime(23, 50)), 1600, 750);
    ASSERT_NO_FATAL_FAILURE(writeRecords(dir.path(), 5, lines));
    struct Case {
        std::size_t limit;
        std::size_t loaded;
        bool cut;
    } cases[] = {
        {100, 100, true},     // within the first day
        {375, 375, true},     // the first day whole, the second left out
        {400, 400, true},     // within the second day
        {750, 750, false},    // exactly everything
        {5000, 750, false},
    };
    for (const Case &c : cases) {
        const RecordLoad load = RecordFileReader(dir.path(), 5, c.limit).load(Day, Day.addDays(1), 1600);
        ASSERT_EQ(load.samples.size(), c.loaded) << c.limit;
        EXPECT_EQ(load.cutAfter.isValid(), c.cut) << c.limit;
        if (c.cut) {
            EXPECT_EQ(load.cutAfter.toMSecsSinceEpoch() / 1000, lines[c.loaded - 1].at.toMSecsSinceEpoch() / 1000)
                << c.limit;
        }
        EXPECT_EQ(load.samples.back().pv, lines[c.loaded - 1].pv) << c.limit;
    }
}

TEST(RecordFileReader, NamesWhatItCannotReadAndGoesOnWithoutWaiting)
{
    // Things of the right name that are not files: a folder, a FIFO (whose
    // open would wait for a writer) and a device.
    const struct {
        const char *what;
        std::function<bool(const QString &path)> make;
        const char *reason;
    } cases[] = {
        {"a folder", [](const QString &path) { return QDir().mkdir(path); }, "it is a directory, not a regular file"},
        {"a FIFO", [](const QString &path) { return ::mkfifo(QFile::encodeName(path).constData(), 0666) == 0; },
         "it is a FIFO, not a regular file"},
        {"a device", [](const QString &path) { return QFile::link(QStringLiteral("/dev/zero"), path); },
         "it is a character device, not a regular file"},
    };
    for (const auto &c : cases) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        ASSERT_NO_FATAL_FAILURE(writeRecords(dir.path(), 7, pollTimes(QDateTime(Day, QTime(12, 0)), 1600, 10)));
        const QString taken = dir.filePath(recordFileName(Day.addDays(1), 7));
        ASSERT_TRUE(c.make(taken)) << c.what;

        auto loading = std::async(std::launch::async,
                                  [&] { return RecordFileReader(dir.path(), 7).load(Day, Day.addDays(1), 1600); });
        if (loading.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            // Let a waiting open go on, so that the test ends.
            const int writer = ::open(QFile::encodeName(taken).constData(), O_WRONLY | O_NONBLOCK);
            loading.wait();
            if (writer >= 0)
                ::close(writer);
            ADD_FAILURE() << c.what << ": the load waited";
            continue;
        }
        const RecordLoad load = loading.get();
        EXPECT_EQ(load.samples.size(), 10u) << c.what;
        EXPECT_EQ(load.filesRead, QStringList({"240303 7.Csv"})) << c.what;
        EXPECT_EQ(load.filesFailed, QStringList({QStringLiteral("240304 7.Csv: ") + QString::fromLatin1(c.reason)}))
            << c.what;
    }
}

// A file is read in blocks; what falls on a block's edge reads as it does in
// one piece.
TEST(RecordFileReader, ReadsAFileInBlocksAsInOnePiece)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const qsizetype block = RecordFileReader::BlockBytes;
    auto lines = [](int from, int count, const char *end) {
        QByteArray out;
        for (int k = from; k < from + count; ++k)
            out += recordLine(QTime(8, 0).addSecs(2 * k), 48, {std::int16_t(k), 500, 250, 0}) + end;
        return out;
    };
    // Good lines up to near the first block's end, then a foreign line whose
    // line end starts at the block's last byte, then more good lines.
    auto splitAtBlockEnd = [&](const char *end) {
        QByteArray content = header() + end;
        int k = 0;
        while (content.size() < block - 400)
            content += lines(k++, 1, end);
        content += QByteArray(block - 1 - content.size(), 'x') + end;
        return std::pair{content + lines(k, 100, end), k + 100};
    };
    const auto [crLf, crLfLines] = splitAtBlockEnd("\r\n");
    const auto [cr, crLines] = splitAtBlockEnd("\r");
    const struct {
        const char *what;
        QByteArray content;
        int samples, skipped;
    } cases[] = {
        {"a CR LF split between two blocks", crLf, crLfLines, 1},
        {"a CR alone at a block's end", cr, crLines, 1},
        {"a line longer than three blocks", header() + "\r\n" + lines(0, 10, "\r\n") + QByteArray(3 * block, 'x')
             + "\r\n" + lines(10, 10, "\r\n"), 20, 1},
        {"a long line that ends the file", lines(0, 10, "\n") + QByteArray(2 * block, 'x'), 10, 1},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(test::writeFile(dir.filePath(recordFileName(Day, 5)), c.content));
        const RecordLoad load = RecordFileReader(dir.path(), 5).load(Day, Day, 2000);
        const RecordFileLines whole = parseRecordFile(c.content, Day);
        EXPECT_EQ(int(load.samples.size()), c.samples) << c.what;
        EXPECT_EQ(load.linesSkipped, c.skipped) << c.what;
        EXPECT_EQ(int(whole.samples.size()), c.samples) << c.what;
        EXPECT_EQ(whole.skipped, c.skipped) << c.what;
        EXPECT_TRUE(load.filesCutShort.isEmpty()) << c.what;
        for (std::size_t k = 0; k < std::min(load.samples.size(), whole.samples.size()); ++k)
            EXPECT_EQ(load.samples[k].timeMs, whole.samples[k].timeMs) << c.what << ", line " << k;
    }
}

// Another program cuts a file short while it is read (the recorder itself
// cuts a damaged last line before it appends). Reading the file as it was
// when the cut came must give what parsing its first bytes gives.
TEST(RecordFileReader, AFileCutShortWhileReadEndsTheReadEarly)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(recordFileName(Day, 5));
    QByteArray content = header() + "\r\n";
    for (const Written &w : pollTimes(QDateTime(Day, QTime(8, 0)), 1600, 2500))
        content += recordLine(w.at.time(), 48, {w.pv, 500, 250, 0}) + "\r\n";
    ASSERT_GT(content.size(), 4 * RecordFileReader::BlockBytes);
    const struct {
        const char *what;
        int beforeRead;                                    // the cut comes before this read (from 0)
        std::function<qint64(qint64 offset)> cutTo;       // the file's size after it
    } cases[] = {
        {"to nothing, before the first read", 0, [](qint64) { return 0; }},
        {"to what was read so far", 1, [](qint64 offset) { return offset; }},
        {"inside a line not read yet", 1, [](qint64 offset) { return offset + 37; }},
        {"at a line end not read yet", 2, [&](qint64 offset) { return content.indexOf('\n', offset + 100) + 1; }},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(test::writeFile(path, content));
        RecordFileReader reader(dir.path(), 5);
        int reads = 0;
        qint64 cutTo = -1;
        reader.beforeBlock = [&](qint64 offset) {
            if (reads++ == c.beforeRead) {
                cutTo = c.cutTo(offset);
                ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), cutTo), 0);
            }
        };
        const RecordLoad load = reader.load(Day, Day, 1600);
        ASSERT_GE(cutTo, 0) << c.what;
        const RecordFileLines expected = parseRecordFile(QByteArrayView(content).first(cutTo), Day);
        EXPECT_EQ(load.samples.size(), expected.samples.size()) << c.what;
        EXPECT_EQ(load.linesSkipped, expected.skipped) << c.what;
        EXPECT_EQ(load.filesRead, QStringList({"240303 5.Csv"})) << c.what;
        EXPECT_EQ(load.filesCutShort.join(" | ").toStdString(),
                  QStringLiteral("240303 5.Csv (%1 of %2 bytes read)").arg(cutTo).arg(content.size()).toStdString())
            << c.what;
    }
}

TEST(GapRule, RecordPeriodComesFromTheLinesThemselves)
{
    const struct {
        qint64 periodMs;
        std::map<int, int> holes;
    } cases[] = {
        {1600, {}},
        {1600, {{100, 400}, {300, 2}}},   // recording off for ten minutes, two replies missed
        {400, {}},
        {100, {{50, 100}}},
        {5000, {{20, 30}}},
        {12800, {}},                      // 16 slots at 2400 baud
    };
    for (const auto &c : cases) {
        std::vector<TrendSample> samples;
        for (const Written &w : pollTimes(QDateTime(Day, QTime(9, 0, 0, 300)), c.periodMs, 600, c.holes)) {
            TrendSample s;
            s.timeMs = w.at.toMSecsSinceEpoch() / 1000 * 1000;   // stamped to the second
            samples.push_back(s);
        }
        const qint64 estimated = estimateRecordPeriodMs(samples, 99);
        // Misses raise it a little; whole-second stamps must not round it.
        EXPECT_NEAR(double(estimated), double(c.periodMs), 0.03 * double(c.periodMs) + 2) << c.periodMs;
    }
    EXPECT_EQ(estimateRecordPeriodMs({}, 99), 99);
    TrendSample one;
    EXPECT_EQ(estimateRecordPeriodMs(std::span(&one, 1), 99), 99);
}

TEST(GapRule, ARecordLineBreaksOnlyAfterMoreThanThreeMissedPeriods)
{
    // Replies missed before line 50, polled every 1.6 s: the spacing is
    // (missed + 1) x 1.6 s, stamped to the second.
    const struct {
        int missed;
        bool breaks;
    } cases[] = {{0, false}, {1, false}, {2, false}, {3, true}, {10, true}};
    for (const auto &c : cases) {
        for (int startMs : {0, 500, 900}) {   // where in its second the first reply fell
            std::vector<TrendSample> samples;
            for (const Written &w :
                 pollTimes(QDateTime(Day, QTime(9, 0, 0, startMs)), 1600, 100, {{50, c.missed}})) {
                TrendSample s;
                s.timeMs = w.at.toMSecsSinceEpoch() / 1000 * 1000;
                samples.push_back(s);
            }
            markRecordBreaks(samples, estimateRecordPeriodMs(samples, 1600));
            for (std::size_t k = 1; k < samples.size(); ++k)
                EXPECT_EQ(samples[k].breaksBefore(), k == 50 && c.breaks)
                    << c.missed << " missed, line " << k << ", start " << startMs;
        }
    }
}
