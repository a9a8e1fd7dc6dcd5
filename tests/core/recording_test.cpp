#include "core/live_value_recorder.h"
#include "core/polling_cycle.h"

#include "base/error.h"
#include "link/frames.h"
#include "model/live_value_table.h"
#include "support/fake_parameter_window.h"
#include "support/fake_serial_port.h"
#include "support/line_state.h"
#include "support/replies.h"
#include "support/disk_full.h"
#include "support/fakes.h"
#include "support/spies.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace orbalis;

namespace {

const QString Header = QStringLiteral(
    "Time,PvPvof,SvSvof,Outl,WkErNo,Ramp_T,Alm1_T,Alm2_T,Sv0,Pv0,Pv1,Pv2,Et0,Et1,Et2,Px,Ix,Dx,Mrx,"
    "Arx,Pout,Iout,Dout,Pband,ArW,Level,A/D 0,A/D 1");

// A live-value reply of controller `id`: 30 registers from 4096.
QByteArray liveReply(int id, const std::array<std::uint16_t, 30> &registers)
{
    return test::readReply(id, 4, registers);
}

std::array<std::uint16_t, 30> sampleRegisters()
{
    std::array<std::uint16_t, 30> regs{};
    for (std::size_t k = 0; k < regs.size(); ++k)
        regs[k] = std::uint16_t(10 * k + 3);
    regs[0] = 1234;      // PV
    regs[1] = 0xFFFB;    // SV -5
    regs[2] = 0xFFFB;    // output -5 tenths
    regs[3] = 0x0A1F;    // work / error word
    regs[4] = 754;       // Ramp_T low half: 75 units
    regs[5] = 0;         // Ramp_T high half
    regs[18] = 0xFFFF;   // Ix -1
    return regs;
}

using test::DiskFullAt;
using test::FakeParameterWindow;

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

class RecordingTest : public ::testing::Test {
protected:
    RecordingTest()
    {
        console.programDir = dir.path();
        console.clock = &clock;
        console.slots.Slot_DP_Code.fill(47);
        console.slots.SlotId[2] = 5;
        console.slots.Slot_DP_Code[2] = 49;
        console.slots.Record_Flag[2] = true;
        console.line.attach(&port, nullptr, nullptr);
        port.setPortOpen(true);
        test::pollSlotTo(console.line, 2);
        test::receiveReply(console.line, port, liveReply(5, sampleRegisters()));
    }

    QString pathOf(const QString &name) const { return dir.filePath(name); }
    QString recordPath() const { return pathOf(QStringLiteral("240303 5.Csv")); }
    // The lines of a record file; each must end with CR LF.
    QStringList linesOf(const QString &path) const
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        const QByteArray all = f.readAll();
        EXPECT_TRUE(all.endsWith("\r\n"));
        QStringList lines = QString::fromLatin1(all).split(QStringLiteral("\r\n"));
        lines.removeLast();
        return lines;
    }
    QString expectedValues() const
    {
        QStringList texts;
        for (int a : liveValueAddresses())
            texts << boxes.text(a);
        return texts.join(QLatin1Char(','));
    }

    QTemporaryDir dir;
    test::FixedClock clock{QDateTime(QDate(2024, 3, 3), QTime(14, 3, 7))};
    Console console;
    test::FakeSerialPort port;
    test::RecordingSink boxes;
    test::SlotPainterSpy painter;
    test::FakeReporter reporter;
    LiveValueRecorder recorder{console, boxes, boxes, painter, reporter};
};

// --- Decoding and the record line ----------------------------------------------

TEST_F(RecordingTest, TheFirstLineOfTheDayCreatesTheFileWithItsHeader)
{
    ASSERT_TRUE(dir.isValid());
    recorder.Store_Live_Values();
    const QStringList lines = linesOf(recordPath());
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], Header);
    EXPECT_EQ(lines[1], QStringLiteral("14:03:07,") + expectedValues());

    const QStringList fields = lines[1].split(QLatin1Char(','));
    ASSERT_EQ(fields.size(), 28);
    EXPECT_EQ(fields[1], QStringLiteral("12.34"));   // scaled by the slot's decimal point
    EXPECT_EQ(fields[2], QStringLiteral("-0.05"));
    EXPECT_EQ(fields[3], QStringLiteral("-0.5"));
    EXPECT_EQ(fields[4], QStringLiteral("0A1F"));
    EXPECT_EQ(fields[5], QStringLiteral("01:15"));
    EXPECT_EQ(fields[16], QStringLiteral("-1"));   // Ix is signed
    EXPECT_EQ(fields[17], QStringLiteral("193"));
    EXPECT_TRUE(reporter.messages.isEmpty());
    EXPECT_TRUE(console.slots.Record_Flag[2]);
}

TEST_F(RecordingTest, WithoutTheFlagTheBoxesAreFilledButNothingIsWritten)
{
    console.slots.Record_Flag[2] = false;
    recorder.Store_Live_Values();
    EXPECT_EQ(boxes.text(4096), QStringLiteral("12.34"));
    EXPECT_EQ(boxes.texts.size(), 27);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(RecordingTest, TheParameterWindowGetsTheLiveValuesOnlyForItsOwnSlot)
{
    FakeParameterWindow window;
    console.parameterWindow = &window;
    console.line.showParametersOf(6);
    recorder.Store_Live_Values();
    EXPECT_EQ(window.sink.writes, 0);
    console.line.showParametersOf(2);
    recorder.Store_Live_Values();
    EXPECT_EQ(window.sink.text(4096), QStringLiteral("12.34"));
    EXPECT_EQ(window.sink.text(4125), boxes.text(4125));
}

TEST_F(RecordingTest, AReplyTheDecodersCannotReadIsDroppedSilently)
{
    test::receiveReply(console.line, port, withCrc(QByteArray::fromHex("058402")));
    recorder.Store_Live_Values();
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(reporter.messages.isEmpty());
    EXPECT_EQ(reporter.beeps, 0);
    EXPECT_TRUE(console.slots.Record_Flag[2]);
    EXPECT_TRUE(painter.pens.empty());
}

// --- Files over time -----------------------------------------------------------

TEST_F(RecordingTest, TheSameDayAppendsWithoutASecondHeader)
{
    recorder.Store_Live_Values();
    console.slots.Record_Flag[2] = false;
    recorder.Store_Live_Values();
    console.slots.Record_Flag[2] = true;
    clock.set(QDateTime(QDate(2024, 3, 3), QTime(14, 3, 9)));
    recorder.Store_Live_Values();
    // A second slot on the same controller writes into the same file.
    console.slots.SlotId[9] = 5;
    console.slots.Record_Flag[9] = true;
    test::pollSlotTo(console.line, 9);
    recorder.Store_Live_Values();

    const QStringList lines = linesOf(recordPath());
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], Header);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("14:03:07,")));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("14:03:09,")));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("14:03:09,1234,")));   // slot 9 shows no decimals
    EXPECT_EQ(lines.count(Header), 1);
}

TEST_F(RecordingTest, AfterMidnightANewFileBeginsWithItsOwnHeader)
{
    clock.set(QDateTime(QDate(2024, 3, 3), QTime(23, 59, 59)));
    recorder.Store_Live_Values();
    clock.set(QDateTime(QDate(2024, 3, 4), QTime(0, 0, 1)));
    recorder.Store_Live_Values();

    const QStringList before = linesOf(recordPath());
    const QStringList after = linesOf(pathOf(QStringLiteral("240304 5.Csv")));
    ASSERT_EQ(before.size(), 2);
    ASSERT_EQ(after.size(), 2);
    EXPECT_TRUE(before[1].startsWith(QStringLiteral("23:59:59,")));
    EXPECT_EQ(after[0], Header);
    EXPECT_TRUE(after[1].startsWith(QStringLiteral("00:00:01,")));
}

// --- Whole lines only -------------------------------------------------------------

TEST_F(RecordingTest, AnUnfinishedLastLineIsCutBackBeforeTheNextLineIsAppended)
{
    const QByteArray header = Header.toLatin1() + "\r\n";
    const QByteArray earlier = "14:03:05,1,2,3\r\n";
    const QByteArray foreign(5000, 'x');
    struct Case {
        const char *what;
        QByteArray before;
        QByteArray kept;   // what stays before the new line (empty: the header comes first)
    };
    const Case cases[] = {
        {"complete lines", header + earlier, header + earlier},
        {"an empty file", "", ""},
        {"half a header", header.left(30), ""},
        {"half a line", header + earlier + "14:03:06,1,", header + earlier},
        {"a line without its LF", header + earlier + earlier.chopped(1), header + earlier},
        {"a line ended by LF alone", header + "14:03:05,1\n", header + "14:03:05,1\n"},
        // Too long to be a line cut short: ended, not cut, so nothing is lost.
        {"a long text without line end", header + foreign, header + foreign + "\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(writeBytes(recordPath(), c.before));
        recorder.Store_Live_Values();
        const QByteArray line = "14:03:07," + expectedValues().toLatin1() + "\r\n";
        EXPECT_EQ(fileBytes(recordPath()), (c.kept.isEmpty() ? header : c.kept) + line);
    }
    EXPECT_TRUE(reporter.messages.isEmpty());
    EXPECT_TRUE(console.slots.Record_Flag[2]);
}

// --- Recording driven by the polling cycle -------------------------------------

class PolledRecordingTest : public RecordingTest {
protected:
    PolledRecordingTest()
    {
        console.line.attach(&port, &timer, nullptr);
        console.settings.serial.Baud = QStringLiteral("19200");
        console.line.startFresh();
        console.line.dropExchange();
    }
    test::FakeTimer timer;
    test::FakeStatus status;
    PollingCycle cycle{console, status, recorder, painter};
};

TEST_F(PolledRecordingTest, OnlyValidRepliesWriteALine)
{
    const QByteArray good = liveReply(5, sampleRegisters());
    QByteArray bad = good;
    bad[10] = char(bad[10] ^ 1);

    cycle.Timer_Read_Timer();
    port.received = bad;
    cycle.Timer_Read_Timer();
    cycle.Timer_Read_Timer();   // no answer
    EXPECT_EQ(status.text(2), QStringLiteral("Read PV ... No Answer !"));
    EXPECT_FALSE(QFile::exists(recordPath()));
    EXPECT_TRUE(boxes.texts.isEmpty());

    port.received = good;
    cycle.Timer_Read_Timer();
    EXPECT_EQ(linesOf(recordPath()).size(), 2);
    EXPECT_EQ(painter.painted, std::vector<int>{2});
}

// --- A record file that cannot be written ----------------------------------------

class RecordFailureTest : public PolledRecordingTest {
protected:
    // Runs f on another thread. When it has not ended after a few seconds (an
    // open that waits for a FIFO's reader) a reader lets it go on: false.
    bool endsAtOnce(const std::function<void()> &f)
    {
        auto done = std::async(std::launch::async, f);
        if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
            return true;
        const int reader = ::open(QFile::encodeName(recordPath()).constData(), O_RDONLY | O_NONBLOCK);
        done.wait();
        if (reader >= 0)
            ::close(reader);
        return false;
    }

    // One failing line: the recording stops loudly, once, and polling goes on.
    void expectInterruptedOnce(const QString &cause)
    {
        port.onOutput = [this](const QByteArray &) { port.received = liveReply(5, sampleRegisters()); };
        ASSERT_TRUE(endsAtOnce([this] {
            cycle.Timer_Read_Timer();
            cycle.Timer_Read_Timer();
        })) << "the record file's open waited for another program";
        ASSERT_EQ(reporter.messages.size(), 1);
        EXPECT_EQ(reporter.titles[0], QStringLiteral("Attention! Wrong"));
        EXPECT_EQ(reporter.messages[0], QStringLiteral("Your record file ") + recordPath() + cause
                                            + QStringLiteral("\r\nRecord has been interrupted"));
        EXPECT_EQ(reporter.beeps, 3);
        EXPECT_FALSE(console.slots.Record_Flag[2]);
        EXPECT_EQ(painter.pens, (std::vector<std::pair<int, bool>>{{2, false}}));
        // The slot is painted and the next read is already out.
        EXPECT_EQ(painter.painted, std::vector<int>{2});
        EXPECT_EQ(status.text(2), QStringLiteral("Read PV ... Check CRC Ok !"));
        EXPECT_EQ(port.outputs.size(), 2);

        cycle.Timer_Read_Timer();
        EXPECT_EQ(reporter.messages.size(), 1);
        EXPECT_EQ(reporter.beeps, 3);
        EXPECT_EQ(painter.painted, (std::vector<int>{2, 2}));
    }
};

TEST_F(RecordFailureTest, ARecordPathTakenByAFolderInterruptsTheRecording)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("240303 5.Csv")));
    expectInterruptedOnce(
        QStringLiteral(" could not be written: Path/File access error (it is a directory, not a regular file)"));
}

TEST_F(RecordFailureTest, AFifoNamedLikeTheRecordFileInterruptsTheRecordingWithoutWaiting)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(recordPath()).constData(), 0666), 0);
    expectInterruptedOnce(
        QStringLiteral(" could not be written: Path/File access error (it is a FIFO, not a regular file)"));
}

TEST_F(RecordFailureTest, ADeviceNamedLikeTheRecordFileIsNeverWritten)
{
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), recordPath()));
    expectInterruptedOnce(QStringLiteral(
        " could not be written: Path/File access error (it is a character device, not a regular file)"));
}

TEST_F(RecordFailureTest, AFullDiskInterruptsTheRecordingWithItsCause)
{
    const QByteArray before = Header.toLatin1() + "\r\n14:03:05,1,2,3\r\n";
    ASSERT_TRUE(writeBytes(recordPath(), before));
    {
        // Room for part of the next line only.
        const DiskFullAt full(rlim_t(before.size() + 20));
        expectInterruptedOnce(QStringLiteral(" could not be written: ")
                              + Error(DiskFull, QString::fromLocal8Bit(std::strerror(EFBIG))).description());
    }
    // No part of the lost line stays behind to be glued onto the next.
    EXPECT_EQ(fileBytes(recordPath()), before);

    // Space is back and the user switches recording on again.
    console.slots.Record_Flag[2] = true;
    cycle.Timer_Read_Timer();
    const QStringList lines = linesOf(recordPath());
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[2], QStringLiteral("14:03:07,") + expectedValues());

    // A new day's file that cannot take its first line is left empty, and
    // gets its header with the first line that fits.
    clock.set(QDateTime(QDate(2024, 3, 4), QTime(0, 0, 1)));
    const QString nextDay = pathOf(QStringLiteral("240304 5.Csv"));
    {
        const DiskFullAt full(100);
        cycle.Timer_Read_Timer();
    }
    EXPECT_EQ(fileBytes(nextDay), QByteArray());
    EXPECT_EQ(reporter.messages.size(), 2);
    console.slots.Record_Flag[2] = true;
    cycle.Timer_Read_Timer();
    const QStringList fresh = linesOf(nextDay);
    ASSERT_EQ(fresh.size(), 2);
    EXPECT_EQ(fresh[0], Header);
}

TEST_F(RecordFailureTest, AFileThatMayNotBeWrittenGetsTheHeldOpenMessage)
{
    if (::geteuid() != 0) {
        QFile f(recordPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        ASSERT_TRUE(f.setPermissions(QFile::ReadOwner));
    } else {
        // Root writes anywhere; a read-only kernel attribute refuses even root.
        const char *refusing = "/sys/devices/system/cpu/online";
        const int fd = ::open(refusing, O_WRONLY | O_APPEND);
        if (fd >= 0 || errno != EACCES) {
            if (fd >= 0)
                ::close(fd);
            GTEST_SKIP() << "no file here refuses to be written by root";
        }
        ASSERT_TRUE(QFile::link(QString::fromLatin1(refusing), recordPath()));
    }
    expectInterruptedOnce(QStringLiteral(" Suspected of being forced to open other programs"));
}

} // namespace
