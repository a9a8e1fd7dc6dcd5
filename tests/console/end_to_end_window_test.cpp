// The console in-process against orbalis-sim over a real pseudo-terminal:
// the real QtSerialPort, the real polling timer, the window offscreen. The
// simulator's traffic log is the witness of what went over the line.

#include "alarms/panel_alarms.h"
#include "console/main_window.h"
#include "console/slot_panel.h"
#include "console/slot_painting.h"
#include "console/slot_picture.h"
#include "images/image_lists.h"
#include "link/frames.h"
#include "link/qt_serial_port.h"
#include "model/display.h"
#include "model/live_value_table.h"
#include "settings/orbalis_ini.h"
#include "settings/settings_store.h"
#include "support/fakes.h"
#include "support/console_over_simulator.h"
#include "support/simulator.h"
#include "support/qt_app.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>

using namespace orbalis;

namespace {

// Slots 0, 5, 10 and 15 (one per row, so the rotation crosses the panel)
// bound to controllers 1 to 4.
constexpr std::array<int, 4> BoundSlots{0, 5, 10, 15};
int controllerOf(int slotIndexInBound) { return slotIndexInBound + 1; }

// Timeouts are generous: the machine that runs the tests is shared.
constexpr int LiveTimeoutMs = 10000;

const char *const Header =
    "Time,PvPvof,SvSvof,Outl,WkErNo,Ramp_T,Alm1_T,Alm2_T,Sv0,Pv0,Pv1,Pv2,Et0,Et1,Et2,"
    "Px,Ix,Dx,Mrx,Arx,Pout,Iout,Dout,Pband,ArW,Level,A/D 0,A/D 1";

using test::LoggedFrame;

int idOfFrame(const QByteArray &frame)
{
    return frame.isEmpty() ? -1 : quint8(frame[0]);
}

// A reply the console may take as live values: 30 registers, function 4,
// and a CRC that holds.
bool isGoodLiveReply(const QByteArray &bytes)
{
    return bytes.size() == 65 && bytes[1] == 4 && quint8(bytes[2]) == 60 && hasValidCrc(bytes);
}

// The 27 value texts a reply gives through the live pass, in column order.
QStringList decodedColumns(const QByteArray &reply, int dpCode)
{
    test::RecordingSink sink;
    DisplayTargets targets;
    targets.liveValues = &sink;
    showLiveValues(reply, dpCode, targets);
    QStringList columns;
    for (int address : liveValueAddresses())
        columns << sink.text(address);
    return columns;
}

struct RecordLine {
    QTime time;
    QStringList columns;
};

struct RecordFile {
    bool exists = false;
    QByteArray raw;
    QString header;
    QList<RecordLine> lines;
};

RecordFile readRecordFile(const QString &path)
{
    RecordFile file;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return file;
    file.exists = true;
    file.raw = f.readAll();
    QList<QByteArray> lines = file.raw.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (int i = 0; i < lines.size(); ++i) {
        QString text = QString::fromLatin1(lines[i]);
        text.chop(text.endsWith(u'\r') ? 1 : 0);
        if (i == 0) {
            file.header = text;
            continue;
        }
        QStringList fields = text.split(u',');
        RecordLine line;
        line.time = QTime::fromString(fields.takeFirst(), QStringLiteral("HH:mm:ss"));
        line.columns = fields;
        file.lines << line;
    }
    return file;
}

// Every line must be ended by CR LF, and no CR or LF may stand alone.
bool linesEndWithCrLf(const QByteArray &raw)
{
    return raw.endsWith("\r\n") && raw.count('\n') == raw.count("\r\n") && raw.count('\r') == raw.count("\r\n");
}

// A recorded line may come from a logged reply when its texts are that
// reply's and its time of day lies between the reply on the line and a
// little after it (the console stamps the line when it judges the reply).
bool lineComesFrom(const RecordLine &line, const LoggedFrame &reply, int dpCode)
{
    if (line.columns != decodedColumns(reply.bytes, dpCode))
        return false;
    QDateTime stamped(reply.at.date(), line.time);
    if (stamped < reply.at.addSecs(-1))
        stamped = stamped.addDays(1);   // the line was written after midnight
    const QDateTime loggedSecond = reply.at.addMSecs(-reply.at.time().msec());
    return stamped >= loggedSecond && stamped <= reply.at.addSecs(3);
}

// Matches the lines in order to distinct replies, in log order; returns the
// index of the first line that has no reply left to come from, or -1.
int firstUnmatchedLine(const QList<RecordLine> &lines, const QList<LoggedFrame> &replies, int dpCode)
{
    qsizetype next = 0;
    for (int i = 0; i < lines.size(); ++i) {
        while (next < replies.size() && !lineComesFrom(lines[i], replies[next], dpCode))
            ++next;
        if (next == replies.size())
            return i;
        ++next;
    }
    return -1;
}

QString Describe(const RecordLine &line)
{
    return line.time.toString(QStringLiteral("HH:mm:ss")) + u',' + line.columns.join(u',');
}

// The value parts of a slot picture: both rows, the lamps, the banner, the bar.
QList<QImage> valueRegions(const SlotPicture &picture, const QImage &image)
{
    return {image.copy(picture.pixelRect(0, 10, 60, 20)), image.copy(picture.pixelRect(0, 30, 60, 20)),
            image.copy(picture.pixelRect(0, 50, 20, 10)), image.copy(picture.pixelRect(40, 50, 20, 10)),
            image.copy(picture.pixelRect(0, 60, 60, 10))};
}

QImage topRow(const SlotPicture &picture, const QImage &image)
{
    return image.copy(picture.pixelRect(0, 0, 60, 10));
}

QImage pvRowImage(const SlotPicture &picture, const QImage &image)
{
    return image.copy(picture.pixelRect(0, 10, 60, 20));
}

class EndToEndWindowTest : public test::ConsoleOverSimulator {
protected:
    void SetUp() override
    {
        ConsoleOverSimulator::SetUp();
        console.clock = &realClock;
        startDate = QDate::currentDate();
    }

    void TearDown() override
    {
        sampler.stop();
        ConsoleOverSimulator::TearDown();
    }

    // Settings with the bound slots and their decimal-point codes, then the
    // simulator on ports/COM1, then the console's start; the polling timer is
    // held until the framed pictures have been taken as references.
    void start(const QStringList &faultOptions, const QMap<int, QString> &decimals = {})
    {
        SettingsModel model = lineSettings();
        for (size_t i = 0; i < BoundSlots.size(); ++i)
            model.panel.IdText[size_t(BoundSlots[i])] =
                QStringLiteral("%1").arg(controllerOf(int(i)), 3, 10, QLatin1Char('0'));
        for (auto it = decimals.begin(); it != decimals.end(); ++it)
            model.panel.DecimalText[size_t(it.key())] = it.value();
        saveSettings(model);
        ASSERT_NO_FATAL_FAILURE(startSimulator(QStringLiteral("1-4"), faultOptions));
        ASSERT_TRUE(QFileInfo(dir.filePath(QStringLiteral("ports/COM1"))).isSymLink());

        ASSERT_NO_FATAL_FAILURE(openConsole());
        ASSERT_EQ(window->StatusBar1().text(2), "");   // opened without a port error
        ASSERT_TRUE(window->Timer_Read().isEnabled());
        window->Timer_Read().setEnabled(false);

        ASSERT_NO_FATAL_FAILURE(showConsole());
        QApplication::processEvents();
        for (int k = 0; k < SlotCount; ++k) {
            frames[size_t(k)] = picture(k).picture().copy();
            ASSERT_FALSE(frames[size_t(k)].isNull()) << "slot " << k;
        }

        // Every text the status bar shows, in order: a tick sets it, and the
        // sampler runs between ticks.
        QObject::connect(&sampler, &QTimer::timeout, [this] {
            const QString seen = window->StatusBar1().text(1) + u'|' + window->StatusBar1().text(2);
            if (statusSeen.isEmpty() || statusSeen.last() != seen)
                statusSeen << seen;
        });
        sampler.start(5);
        window->Timer_Read().setEnabled(true);
    }

    SlotPicture &picture(int slot) const { return *window->Pic_All().Pic_Control(slot); }

    bool showsLiveValues(int slot) const
    {
        const SlotPicture &p = picture(slot);
        return pvRowImage(p, p.picture()) != pvRowImage(p, frames[size_t(slot)]);
    }

    static bool waitFor(const std::function<bool()> &condition, int timeoutMs = LiveTimeoutMs)
    {
        return QTest::qWaitFor(condition, timeoutMs);
    }

    // Status texts seen from the given index on.
    bool seenSince(qsizetype from, const QString &text) const
    {
        for (qsizetype i = from; i < statusSeen.size(); ++i)
            if (statusSeen[i] == text)
                return true;
        return false;
    }

    static QString okText(int slot, int id)
    {
        return QStringLiteral("No.%1 Slot ; ID = %2|Read PV ... Check CRC Ok !").arg(slot + 1).arg(id);
    }

    bool everyBoundSlotReadOkSince(qsizetype from) const
    {
        for (size_t i = 0; i < BoundSlots.size(); ++i)
            if (!seenSince(from, okText(BoundSlots[i], controllerOf(int(i)))))
                return false;
        return true;
    }

    QList<LoggedFrame> logged(bool requests) const
    {
        QList<LoggedFrame> out;
        for (const LoggedFrame &f : test::readTrafficLog(logPath))
            if (f.request == requests)
                out << f;
        return out;
    }

    QList<LoggedFrame> goodRepliesFrom(int id) const
    {
        QList<LoggedFrame> out;
        for (const LoggedFrame &f : logged(false))
            if (isGoodLiveReply(f.bytes) && quint8(f.bytes[0]) == id)
                out << f;
        return out;
    }

    // The good replies of this controller that were on the line while the
    // console waited for its reply: from its request to the next request. A
    // reply sent just before the request may still arrive after its flush.
    QList<LoggedFrame> goodRepliesDuringExchangesWith(int id) const
    {
        constexpr qint64 FlushRaceMs = 20;
        const QList<LoggedFrame> frames = test::readTrafficLog(logPath);
        QList<LoggedFrame> out;
        int current = -1;
        for (qsizetype i = 0; i < frames.size(); ++i) {
            const LoggedFrame &f = frames[i];
            if (f.request) {
                current = idOfFrame(f.bytes);
                continue;
            }
            if (!isGoodLiveReply(f.bytes))
                continue;
            qsizetype next = i + 1;
            while (next < frames.size() && !frames[next].request)
                ++next;
            const bool justBefore = next < frames.size() && idOfFrame(frames[next].bytes) == id
                && f.at.msecsTo(frames[next].at) <= FlushRaceMs;
            if (idOfFrame(f.bytes) == id && (current == id || justBefore))
                out << f;
        }
        return out;
    }

    QString recordPath(const QDate &date, int id) const
    {
        return dir.filePath(date.toString(QStringLiteral("yyMMdd")) + u' ' + QString::number(id)
                            + QStringLiteral(".Csv"));
    }

    // The record of a controller; two files when the run crossed midnight.
    QList<RecordFile> recordFiles(int id) const
    {
        QList<RecordFile> files;
        for (const QDate &date : {startDate, QDate::currentDate()}) {
            if (!files.isEmpty() && date == startDate)
                continue;
            RecordFile f = readRecordFile(recordPath(date, id));
            if (f.exists)
                files << f;
        }
        return files;
    }

    int linesRecorded(int id) const
    {
        int n = 0;
        for (const RecordFile &f : recordFiles(id))
            n += int(f.lines.size());
        return n;
    }

    // Each request on the line is the live-value read of the next bound slot.
    void expectRequestsRotateOverBoundSlots(int atLeast) const
    {
        const QList<LoggedFrame> requests = logged(true);
        ASSERT_GE(requests.size(), atLeast);
        std::array<int, 4> perController{};
        int previous = -1;
        for (const LoggedFrame &r : requests) {
            ASSERT_FALSE(r.bytes.isEmpty());
            const int id = quint8(r.bytes[0]);
            ASSERT_TRUE(id >= 1 && id <= 4) << r.bytes.toHex(' ').toStdString();
            const auto expected = buildRequest(std::uint8_t(id), 4, 4096, 30);
            EXPECT_EQ(r.bytes, QByteArray(reinterpret_cast<const char *>(expected->data()), 8))
                << r.bytes.toHex(' ').toStdString();
            if (previous >= 0) {
                EXPECT_EQ(id, previous % 4 + 1) << "after a request to " << previous;
            }
            previous = id;
            ++perController[size_t(id - 1)];
        }
        for (int n : perController)
            EXPECT_GE(n, atLeast / 4);
        // One request per reply wait (100 ms at 19200 baud), never a burst.
        EXPECT_GE(requests.first().at.msecsTo(requests.last().at), (requests.size() - 1) * 80);
    }

    Clock realClock;   // the real time of day: lines are checked against the log's times
    QDate startDate;
    std::array<QImage, SlotCount> frames;
    QTimer sampler;
    QStringList statusSeen;
};

} // namespace

TEST_F(EndToEndWindowTest, EveryBoundSlotShowsTheValuesOfItsOwnController)
{
    ASSERT_NO_FATAL_FAILURE(start({}, {{5, QStringLiteral("50")}, {10, QStringLiteral("47")}}));
    EXPECT_EQ(window->Timer_Read().interval(), 100);

    const bool live = waitFor([&] {
        for (int slot : BoundSlots)
            if (!showsLiveValues(slot))
                return false;
        return everyBoundSlotReadOkSince(0);
    });
    window->Timer_Read().setEnabled(false);
    QApplication::processEvents();
    ASSERT_TRUE(live) << statusSeen.join(u'\n').toStdString();

    // Each bound slot shows exactly what one reply of its own controller
    // paints. The simulator logs a reply just after sending it, so under load
    // the log may lag the console by a moment: look again until it has it.
    const ImageLists images;
    const auto showsOwnReply = [&](size_t i) {
        const int slot = BoundSlots[i];
        const SlotPicture &shown = picture(slot);
        const QList<QImage> shownValues = valueRegions(shown, shown.picture());
        const QList<LoggedFrame> replies = goodRepliesFrom(controllerOf(int(i)));
        for (qsizetype r = replies.size() - 1; r >= 0; --r) {
            SlotPicture reference;
            reference.resize(shown.size());
            Paint_Slot_Frame(reference, images, false, false, true);
            Show_Slot_Values(reference, images, replies[r].bytes, console.slots.Slot_DP_Code[size_t(slot)]);
            if (valueRegions(reference, reference.picture()) == shownValues)
                return true;
        }
        return false;
    };
    waitFor([&] {
        for (size_t i = 0; i < BoundSlots.size(); ++i)
            if (!showsOwnReply(i))
                return false;
        return true;
    }, 5000);
    for (size_t i = 0; i < BoundSlots.size(); ++i) {
        const int slot = BoundSlots[i];
        const SlotPicture &shown = picture(slot);
        EXPECT_TRUE(showsOwnReply(i)) << "slot " << slot << " shows no reply of controller " << controllerOf(int(i));
        EXPECT_EQ(topRow(shown, shown.picture()), topRow(shown, frames[size_t(slot)])) << "slot " << slot;
    }

    // Unbound slots were never painted over.
    for (int k = 0; k < SlotCount; ++k) {
        if (console.slots.SlotId[size_t(k)] == 0) {
            EXPECT_EQ(picture(k).picture(), frames[size_t(k)]) << "slot " << k;
        }
    }

    // The hidden value boxes hold the last judged reply, decoded for its slot.
    const QRegularExpression lastSlot(QStringLiteral("^No\\.(\\d+) Slot ; ID = (\\d+)$"));
    const auto m = lastSlot.match(window->StatusBar1().text(1));
    ASSERT_TRUE(m.hasMatch()) << window->StatusBar1().text(1).toStdString();
    const int slot = m.captured(1).toInt() - 1;
    QStringList boxes;
    for (int address : liveValueAddresses())
        boxes << window->liveValues().text(address);
    bool decoded = false;
    for (const LoggedFrame &r : goodRepliesFrom(m.captured(2).toInt()))
        decoded = decoded || decodedColumns(r.bytes, console.slots.Slot_DP_Code[size_t(slot)]) == boxes;
    EXPECT_TRUE(decoded) << boxes.join(u',').toStdString();

    ASSERT_NO_FATAL_FAILURE(expectRequestsRotateOverBoundSlots(5));
    EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join(u'\n').toStdString();
}

TEST_F(EndToEndWindowTest, RecordFilesHoldTheRepliesOfTheirControllerInOrder)
{
    // Slot 5 (controller 2) with three decimals, slot 10 (controller 3) with none.
    ASSERT_NO_FATAL_FAILURE(start({}, {{5, QStringLiteral("50")}, {10, QStringLiteral("47")}}));
    ASSERT_TRUE(waitFor([&] { return everyBoundSlotReadOkSince(0); })) << statusSeen.join(u'\n').toStdString();

    // The pens, clicked as the user does.
    auto clickPen = [&](int slot) {
        SlotPicture &p = picture(slot);
        QTest::mouseClick(&p, Qt::LeftButton, {}, QPoint(5 * p.width() / 60, 5 * p.height() / 70));
    };
    clickPen(5);
    clickPen(10);
    ASSERT_TRUE(console.slots.Record_Flag[5]);
    ASSERT_TRUE(console.slots.Record_Flag[10]);
    EXPECT_NE(topRow(picture(5), picture(5).picture()), topRow(picture(5), frames[5]));

    const bool recorded = waitFor([&] { return linesRecorded(2) >= 4 && linesRecorded(3) >= 4; });
    clickPen(5);
    clickPen(10);
    ASSERT_TRUE(recorded) << statusSeen.join(u'\n').toStdString();
    ASSERT_FALSE(console.slots.Record_Flag[5]);
    ASSERT_FALSE(console.slots.Record_Flag[10]);
    EXPECT_EQ(topRow(picture(5), picture(5).picture()), topRow(picture(5), frames[5]));

    // Pens off: both slots are read well once more, and nothing is added.
    const int lines2 = linesRecorded(2), lines3 = linesRecorded(3);
    const qsizetype mark = statusSeen.size();
    EXPECT_TRUE(waitFor([&] { return seenSince(mark, okText(5, 2)) && seenSince(mark, okText(10, 3)); }));
    window->Timer_Read().setEnabled(false);
    EXPECT_EQ(linesRecorded(2), lines2);
    EXPECT_EQ(linesRecorded(3), lines3);

    for (const auto &[slot, id] : {std::pair{5, 2}, std::pair{10, 3}}) {
        const QList<RecordFile> files = recordFiles(id);
        ASSERT_FALSE(files.isEmpty()) << "controller " << id;
        QList<RecordLine> lines;
        for (const RecordFile &f : files) {
            EXPECT_EQ(f.header, Header);
            EXPECT_TRUE(linesEndWithCrLf(f.raw)) << f.raw.right(80).toStdString();
            lines << f.lines;
        }
        for (const RecordLine &line : lines) {
            EXPECT_TRUE(line.time.isValid()) << Describe(line).toStdString();
            EXPECT_EQ(line.columns.size(), 27) << Describe(line).toStdString();
        }
        // Only this controller's replies, in the order they came, each once.
        const int dp = console.slots.Slot_DP_Code[size_t(slot)];
        const int unmatched = firstUnmatchedLine(lines, goodRepliesFrom(id), dp);
        EXPECT_EQ(unmatched, -1) << "controller " << id << ": "
                                 << (unmatched >= 0 ? Describe(lines[unmatched]).toStdString() : "");
    }
    // Slots without a pen record nothing.
    EXPECT_TRUE(recordFiles(1).isEmpty());
    EXPECT_TRUE(recordFiles(4).isEmpty());
    EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join(u'\n').toStdString();
}

TEST_F(EndToEndWindowTest, FaultyLineNeverFeedsABadReplyIntoTheRecordAndPollingGoesOn)
{
    // Lost replies may well raise "No reply" alarms, which beep: this counts
    // the other beeps.
    OrbalisIni(dir.path()).setValue(PanelAlarms::soundKey(), false);
    ASSERT_NO_FATAL_FAILURE(start({QStringLiteral("--drop-rate"), QStringLiteral("0.3"),
                                   QStringLiteral("--bad-crc-rate"), QStringLiteral("0.2"),
                                   QStringLiteral("--garbage-rate"), QStringLiteral("0.1"),
                                   QStringLiteral("--late-rate"), QStringLiteral("0.1"),
                                   QStringLiteral("--seed"), QStringLiteral("1")}));
    for (int slot : BoundSlots)
        console.slots.Record_Flag[size_t(slot)] = true;

    const QString noAnswer = QStringLiteral("|Read PV ... No Answer !");
    const QString crcError = QStringLiteral("|Read PV ... Check CRC Error !");
    auto seenEnding = [&](const QString &end) {
        return std::any_of(statusSeen.begin(), statusSeen.end(), [&](const QString &s) { return s.endsWith(end); });
    };
    constexpr int Requests = 32;   // eight turns of the four slots, about 3.2 s
    const bool ran = waitFor([&] {
        return logged(true).size() >= Requests && seenEnding(noAnswer) && seenEnding(crcError);
    });
    window->Timer_Read().setEnabled(false);
    ASSERT_TRUE(ran) << statusSeen.join(u'\n').toStdString();

    ASSERT_NO_FATAL_FAILURE(expectRequestsRotateOverBoundSlots(Requests));
    EXPECT_TRUE(seenEnding(QStringLiteral("|Read PV ... Check CRC Ok !")));

    // Whatever the console recorded is a reply of the slot's own controller
    // that went over the line whole, with a good CRC, while the slot's
    // exchange was on: a late reply of another controller that arrives alone
    // in an exchange whose own reply was lost is refused.
    int recorded = 0;
    for (size_t i = 0; i < BoundSlots.size(); ++i) {
        const int id = controllerOf(int(i));
        QList<RecordLine> lines;
        for (const RecordFile &f : recordFiles(id)) {
            EXPECT_EQ(f.header, Header);
            EXPECT_TRUE(linesEndWithCrLf(f.raw));
            lines << f.lines;
        }
        recorded += int(lines.size());
        const int unmatched =
            firstUnmatchedLine(lines, goodRepliesDuringExchangesWith(id), console.slots.Slot_DP_Code[size_t(BoundSlots[i])]);
        EXPECT_EQ(unmatched, -1) << "controller " << id << ": "
                                 << (unmatched >= 0 ? Describe(lines[unmatched]).toStdString() : "");
    }
    EXPECT_GT(recorded, 0);
    EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join(u'\n').toStdString();
    EXPECT_EQ(reporter.beeps, 1);   // the start beep only
}
