#include "core/polling_cycle.h"

#include "base/error.h"
#include "link/com_port_resolver.h"
#include "link/frames.h"
#include "state/open_serial_port.h"
#include "link/pseudo_terminal.h"
#include "link/qt_serial_port.h"
#include "support/line_state.h"
#include "support/listed_ports.h"
#include "support/fake_parameter_window.h"
#include "support/fake_serial_port.h"
#include "support/fakes.h"
#include "support/core_app.h"
#include "support/replies.h"
#include "support/spies.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

// Status texts read as texts in failure messages.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

using namespace orbalis;

namespace {

using test::bytes;
using test::countingReply;
using test::liveRequest;
using test::readRequest;

// Controller id's live values: register k holds 100 + k.
QByteArray liveReply(int id) { return countingReply(id, 4, 30, 100); }

// Every call of the two steps a valid live reply runs, in order.
struct Call {
    QString what;
    int slot;
    QByteArray reply;
};

int paintCount(const std::vector<Call> &log)
{
    return int(std::count_if(log.begin(), log.end(),
                             [](const Call &c) { return c.what == QLatin1String("paint"); }));
}

// The two steps of a valid live reply, logged in the order they ran.
test::LiveValueStoreSpy loggingStore(const Console &console, std::vector<Call> &log)
{
    test::LiveValueStoreSpy store(console);
    store.onStore = [&log](int slot, const QByteArray &reply) { log.push_back({QStringLiteral("store"), slot, reply}); };
    return store;
}

test::SlotPainterSpy loggingPainter(std::vector<Call> &log)
{
    test::SlotPainterSpy painter;
    painter.onPaint = [&log](int slot, const QByteArray &reply) { log.push_back({QStringLiteral("paint"), slot, reply}); };
    return painter;
}

using test::FakeParameterWindow;

class PollingTest : public ::testing::Test {
protected:
    PollingTest()
    {
        console.line.attach(&port, &timer, nullptr);
        console.settings.serial = {QStringLiteral("COM1"), QStringLiteral("19200"),
                                   QStringLiteral("2"), QStringLiteral("8"), QStringLiteral("None")};
        console.slots.Slot_DP_Code.fill(47);
        port.setPortOpen(true);
    }

    void bind(int slot, int id) { console.slots.SlotId[std::size_t(slot)] = std::uint8_t(id); }
    // Every live read is answered by its controller.
    void answerLiveReads()
    {
        port.onOutput = [this](const QByteArray &request) {
            if (request.at(1) == 4)
                port.received = liveReply(std::uint8_t(request.at(0)));
        };
    }
    int paints() const { return paintCount(log); }
    void tick() { cycle.Timer_Read_Timer(); }

    Console console;
    test::FakeSerialPort port;
    test::FakeTimer timer{100};
    test::FakeStatus status;
    std::vector<Call> log;
    test::LiveValueStoreSpy store = loggingStore(console, log);
    test::SlotPainterSpy painter = loggingPainter(log);
    PollingCycle cycle{console, status, store, painter};
};

// --- Live-value rotation -------------------------------------------------

TEST_F(PollingTest, WithNoSlotBoundNothingIsSentAndThePollSlotWalksAllSixteen)
{
    timer.setInterval(55);
    std::vector<int> seen;
    for (int i = 0; i < 17; ++i) {
        tick();
        seen.push_back(console.line.Poll_Slot());
        EXPECT_EQ(console.line.Read_State(), ReadState::Select);
    }
    std::vector<int> expected;
    for (int i = 1; i <= 16; ++i)
        expected.push_back(i % 16);
    expected.push_back(1);
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(port.outputs.isEmpty());
    EXPECT_TRUE(status.panels.isEmpty());
    EXPECT_EQ(timer.interval(), 100);   // the live-value wait at 19200
}

TEST_F(PollingTest, TheOnlyBoundSlotIsReadEveryTick)
{
    bind(15, 42);
    answerLiveReads();
    for (int i = 0; i < 5; ++i) {
        tick();
        ASSERT_EQ(port.outputs.size(), i + 1);
        EXPECT_EQ(port.outputs.last(), liveRequest(42));
        EXPECT_EQ(console.line.Read_State(), ReadState::AwaitLive);
        EXPECT_EQ(console.line.Poll_Slot(), 15);
        if (i > 0) {
            EXPECT_EQ(status.text(1), QStringLiteral("No.16 Slot ; ID = 42"));
            EXPECT_EQ(status.text(2), QStringLiteral("Read PV ... Check CRC Ok !"));
        }
    }
    EXPECT_EQ(paints(), 4);
}

TEST_F(PollingTest, TwoBoundSlotsAlternateAndEachValidReplyIsStoredThenPainted)
{
    bind(2, 5);
    bind(7, 9);
    console.slots.Slot_DP_Code[2] = 49;
    console.slots.Slot_DP_Code[7] = 50;
    answerLiveReads();
    QStringList panel1;
    for (int i = 0; i < 5; ++i) {
        tick();
        panel1 << status.text(1);
    }
    EXPECT_EQ(port.outputs, QByteArrayList({liveRequest(5), liveRequest(9), liveRequest(5),
                                            liveRequest(9), liveRequest(5)}));
    EXPECT_EQ(panel1, QStringList({QString(), QStringLiteral("No.3 Slot ; ID = 5"),
                                   QStringLiteral("No.8 Slot ; ID = 9"),
                                   QStringLiteral("No.3 Slot ; ID = 5"),
                                   QStringLiteral("No.8 Slot ; ID = 9")}));
    EXPECT_EQ(status.text(2), QStringLiteral("Read PV ... Check CRC Ok !"));
    ASSERT_EQ(log.size(), 8u);
    const int slots[] = {2, 7, 2, 7};
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(log[2 * k].what, QStringLiteral("store"));
        EXPECT_EQ(log[2 * k + 1].what, QStringLiteral("paint"));
        EXPECT_EQ(log[2 * k].slot, slots[k]);
        EXPECT_EQ(log[2 * k + 1].slot, slots[k]);
        EXPECT_EQ(log[2 * k + 1].reply, liveReply(slots[k] == 2 ? 5 : 9));
    }
    EXPECT_EQ(painter.dpCodes, (std::vector<std::int32_t>{49, 50, 49, 50}));
}

TEST_F(PollingTest, CrcErrorsAndSilenceAreReportedAndNeverDecoded)
{
    bind(2, 5);
    tick();
    QByteArray bad = liveReply(5);
    std::swap(bad[bad.size() - 1], bad[bad.size() - 2]);
    port.received = bad;
    tick();
    EXPECT_EQ(status.text(1), QStringLiteral("No.3 Slot ; ID = 5"));
    EXPECT_EQ(status.text(2), QStringLiteral("Read PV ... Check CRC Error !"));
    status.panels.clear();
    tick();   // nothing arrived
    EXPECT_EQ(status.text(1), QStringLiteral("No.3 Slot ; ID = 5"));
    EXPECT_EQ(status.text(2), QStringLiteral("Read PV ... No Answer !"));
    port.received = bytes({5});   // one byte is no reply either
    tick();
    EXPECT_EQ(status.text(2), QStringLiteral("Read PV ... No Answer !"));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(port.outputs.size(), 4);   // no retry, the rotation goes on
    EXPECT_EQ(console.line.Read_State(), ReadState::AwaitLive);
}

TEST_F(PollingTest, AReplyThatComesLateIsNeverDecoded)
{
    bind(2, 5);
    tick();
    const QByteArray reply = liveReply(5);
    port.received = reply.left(20);   // only part of it by the next tick
    tick();
    EXPECT_EQ(status.text(2), QStringLiteral("Read PV ... Check CRC Error !"));
    // The rest arrives after the next request went out, ahead of its reply.
    port.received = reply.mid(20) + liveReply(5);
    tick();
    EXPECT_EQ(status.text(2), QStringLiteral("Read PV ... Check CRC Error !"));
    EXPECT_TRUE(log.empty());
}

TEST_F(PollingTest, AGoodReplyOfAnotherExchangeIsNeverTakenForThisSlot)
{
    bind(2, 5);
    bind(7, 9);
    tick();   // asks controller 5
    // Controller 5 stays silent; controller 9's late reply to an earlier
    // request passes its CRC check in this exchange.
    port.received = liveReply(9);
    tick();
    EXPECT_EQ(status.text(1), QStringLiteral("No.3 Slot ; ID = 5"));
    EXPECT_EQ(status.text(2), QStringLiteral("Read PV ... Wrong Reply !"));
    EXPECT_EQ(port.outputs.last(), liveRequest(9));   // the rotation goes on
    // The right controller, but a reply to another request (a late read-all).
    port.received = countingReply(9, 3, 109);
    tick();
    EXPECT_EQ(status.text(2), QStringLiteral("Read PV ... Wrong Reply !"));
    port.received = countingReply(5, 4, 29, 100);   // one register short
    tick();
    EXPECT_EQ(status.text(2), QStringLiteral("Read PV ... Wrong Reply !"));
    EXPECT_TRUE(log.empty());
    // Its own good reply is taken again.
    port.received = liveReply(9);
    tick();
    EXPECT_EQ(status.text(2), QStringLiteral("Read PV ... Check CRC Ok !"));
    EXPECT_EQ(paints(), 1);
    // The slot asked is bound to another controller before the reply comes
    // (the panel settings): the old controller's values are not the slot's.
    ASSERT_EQ(port.outputs.last(), liveRequest(5));
    bind(2, 6);
    port.received = liveReply(5);
    tick();
    EXPECT_EQ(status.text(1), QStringLiteral("No.3 Slot ; ID = 6"));
    EXPECT_EQ(status.text(2), QStringLiteral("Read PV ... Wrong Reply !"));
    EXPECT_EQ(paints(), 1);
}

TEST_F(PollingTest, AStateNoOneSetsIsTreatedAsAReplyWithNothingToShow)
{
    bind(2, 5);
    bind(7, 9);
    LineOwnerProbe::setReadState(console.line, ReadState(9));
    port.received = liveReply(5);
    tick();
    EXPECT_TRUE(status.panels.isEmpty());
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(console.line.Read_State(), ReadState::AwaitLive);
    EXPECT_EQ(port.outputs.last(), liveRequest(5));
}

// --- Parameter reads -------------------------------------------------------

class ParameterReadTest : public PollingTest {
protected:
    ParameterReadTest()
    {
        bind(2, 1);
        bind(7, 9);
        console.line.showParametersOf(2);
        console.parameterWindow = &window;
    }
    FakeParameterWindow window;
};

TEST_F(ParameterReadTest, AReadOfAllParametersCutsInWithoutJudgingThePendingLiveReply)
{
    tick();
    ASSERT_EQ(port.outputs.last(), liveRequest(1));
    console.line.readAllParametersNext();
    port.received = liveReply(1);   // the live reply is there, but never judged
    tick();
    EXPECT_EQ(port.outputs.last(), bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x6D, 0x84, 0x27}));
    EXPECT_EQ(console.line.Read_State(), ReadState::AwaitAll);
    EXPECT_EQ(timer.interval(), 400);
    EXPECT_EQ(window.panels.text(2), QStringLiteral("Read All Parameters Please Wait ... "));
    EXPECT_TRUE(status.panels.isEmpty());
    EXPECT_TRUE(log.empty());

    // Register 45 (the decimal point) holds 45 + 4 = 49.
    port.received = countingReply(1, 3, 109, 4);
    tick();
    EXPECT_EQ(window.panels.text(2),
              QStringLiteral("Read All Parameters Please Wait ... Check CRC Ok !"));
    EXPECT_EQ(console.slots.Slot_DP_Code[2], 49);
    EXPECT_GE(window.sink.writes, 100);
    EXPECT_TRUE(log.empty());
    // Back to live values in the same tick; slot 2 missed its turn.
    EXPECT_EQ(console.line.Poll_Slot(), 7);
    EXPECT_EQ(console.line.Read_State(), ReadState::AwaitLive);
    EXPECT_EQ(port.outputs.last(), liveRequest(9));
    EXPECT_EQ(timer.interval(), 100);
}

TEST_F(ParameterReadTest, ASingleParameterIsReadBackIntoItsControl)
{
    console.line.readParameterNext(10);
    tick();
    EXPECT_EQ(port.outputs.last(), readRequest(1, 10, 1));
    EXPECT_EQ(console.line.Read_State(), ReadState::AwaitOne);
    EXPECT_EQ(timer.interval(), 50);
    EXPECT_EQ(window.panels.text(2), QStringLiteral("Read Parameters Please Wait ... "));

    port.received = withCrc(bytes({1, 3, 2, 0x00, 0x7B}));
    tick();
    EXPECT_EQ(window.panels.text(2), QStringLiteral("Read Parameters Please Wait ... Check CRC Ok !"));
    EXPECT_EQ(window.sink.writes, 1);
    EXPECT_EQ(console.line.Read_State(), ReadState::AwaitLive);
    EXPECT_EQ(port.outputs.last(), liveRequest(1));
}

TEST_F(ParameterReadTest, OnlyTheControllersOwnWellFormedAnswerIsDecoded)
{
    // Slot 2 is bound to controller 1, slot 7 to controller 9. A reply with a
    // good CRC that is not controller 1's answer to the read shows nothing
    // and says so; a refusal says why.
    struct Case {
        const char *what;
        bool all;
        QByteArray reply;
        const char *appended;
        LineOutcome outcome;
    };
    const QString exception2 = QStringLiteral("Check CRC Ok ! Exception reply, code 2 (illegal data address) !");
    const Case cases[] = {
        {"read-all answered", true, countingReply(1, 3, 109, 3), "Check CRC Ok !", LineOutcome::Good},
        {"read-all answered by controller 9", true, countingReply(9, 3, 109, 3), "Wrong Reply !",
         LineOutcome::WrongReply},
        {"read-all answered with 108 registers", true, countingReply(1, 3, 108, 3), "Wrong Reply !",
         LineOutcome::WrongReply},
        {"read-all answered with the live values", true, countingReply(1, 4, 30, 3), "Wrong Reply !",
         LineOutcome::WrongReply},
        {"read-all refused", true, withCrc(bytes({1, 0x83, 2})), nullptr, LineOutcome::ExceptionReply},
        {"read-back answered", false, withCrc(bytes({1, 3, 2, 0x00, 0x7B})), "Check CRC Ok !", LineOutcome::Good},
        {"read-back answered by controller 9", false, withCrc(bytes({9, 3, 2, 0x00, 0x7B})), "Wrong Reply !",
         LineOutcome::WrongReply},
        {"read-back answered with two registers", false, withCrc(bytes({1, 3, 4, 0, 1, 0, 2})), "Wrong Reply !",
         LineOutcome::WrongReply},
        {"read-back answered by a write echo", false, test::writeRequest(1, 10, 5), "Wrong Reply !",
         LineOutcome::WrongReply},
        {"read-back refused", false, withCrc(bytes({1, 0x83, 2})), nullptr, LineOutcome::ExceptionReply},
    };
    test::LineSpy judged;
    console.lineObservers.add(&judged);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        window.sink.writes = 0;
        judged.clear();
        console.slots.Slot_DP_Code[2] = 47;
        if (c.all)
            console.line.readAllParametersNext();
        else
            console.line.readParameterNext(10);
        tick();
        const QString pleaseWait = window.panels.text(2);
        port.received = c.reply;
        tick();
        const QString appended = c.appended ? QString::fromLatin1(c.appended) : exception2;
        EXPECT_EQ(window.panels.text(2), pleaseWait + appended);
        ASSERT_EQ(judged.outcomes(c.all ? Exchange::ReadAll : Exchange::ReadOne), QList<LineOutcome>{c.outcome});
        const bool good = c.outcome == LineOutcome::Good;
        EXPECT_EQ(window.sink.writes, good ? (c.all ? 109 : 1) : 0);
        // Register 45 of the good read-all holds 48; nothing else moves the decimal point.
        EXPECT_EQ(console.slots.Slot_DP_Code[2], good && c.all ? 48 : 47);
        // Nothing reaches the main window's trap, and polling goes on.
        EXPECT_TRUE(status.panels.isEmpty());
        EXPECT_EQ(console.line.Read_State(), ReadState::AwaitLive);
    }
    console.lineObservers.remove(&judged);
}

TEST_F(ParameterReadTest, FailedParameterRepliesAreAppendedAndPollingResumes)
{
    console.line.readAllParametersNext();
    tick();
    tick();   // no answer
    EXPECT_EQ(window.panels.text(2), QStringLiteral("Read All Parameters Please Wait ... No Answer !"));
    console.line.readParameterNext(3);
    tick();
    QByteArray bad = withCrc(bytes({1, 3, 2, 0, 7}));
    bad[4] = 8;
    port.received = bad;
    tick();
    EXPECT_EQ(window.panels.text(2), QStringLiteral("Read Parameters Please Wait ... Check CRC Error !"));
    EXPECT_EQ(window.sink.writes, 0);
    EXPECT_EQ(console.line.Read_State(), ReadState::AwaitLive);
    EXPECT_TRUE(status.panels.isEmpty());

    // A window slot without a controller is asked at ID 0 and stays silent.
    bind(2, 0);
    console.line.readAllParametersNext();
    tick();
    EXPECT_EQ(port.outputs.last(), readRequest(0, 0, 109));
    tick();
    EXPECT_EQ(window.panels.text(2), QStringLiteral("Read All Parameters Please Wait ... No Answer !"));
}

TEST_F(ParameterReadTest, WithTheWindowClosedTheReadStillRunsAndSetsTheDecimalPoint)
{
    console.parameterWindow = nullptr;
    console.line.readAllParametersNext();
    tick();
    EXPECT_EQ(port.outputs.last(), readRequest(1, 0, 109));
    port.received = countingReply(1, 3, 109, 3);   // register 45 holds 48
    tick();
    EXPECT_EQ(console.slots.Slot_DP_Code[2], 48);
    EXPECT_TRUE(status.panels.isEmpty());
    EXPECT_EQ(console.line.Read_State(), ReadState::AwaitLive);
}

TEST_F(ParameterReadTest, AParameterReadWithNoWindowSlotIsRefusedNotSentOutOfBounds)
{
    console.parameterWindow = nullptr;
    console.line.parametersClosed();
    console.line.readAllParametersNext();
    port.outputs.clear();
    tick();
    EXPECT_TRUE(port.outputs.isEmpty());
    EXPECT_TRUE(status.text(2).startsWith(QStringLiteral("at Timer_Read_Timer() ;Wrong code: 9 ;")));
    EXPECT_EQ(console.line.Read_State(), ReadState::Select);
    tick();
    EXPECT_EQ(port.outputs.last(), liveRequest(1));
}

// --- Reply waits -----------------------------------------------------------

TEST_F(PollingTest, TheReplyWaitFollowsTheBaudRateAndTheRequest)
{
    bind(4, 3);
    console.line.showParametersOf(4);
    struct Row {
        const char *baud;
        int live, single, all;
    };
    const Row rows[] = {{"2400", 800, 400, 3200},
                        {"4800", 400, 200, 1600},
                        {"9600", 200, 100, 800},
                        {"19200", 100, 50, 400},
                        {"38400", 77, 77, 77}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.baud);
        console.settings.serial.Baud = QString::fromLatin1(row.baud);
        timer.setInterval(77);
        console.line.resumeLivePolling();
        tick();
        EXPECT_EQ(timer.interval(), row.live);
        console.line.readParameterNext(console.line.Para_Index());
        tick();
        EXPECT_EQ(timer.interval(), row.single);
        console.line.readAllParametersNext();
        tick();
        EXPECT_EQ(timer.interval(), row.all);
        tick();   // the reply tick sends a live read
        EXPECT_EQ(timer.interval(), row.live);
    }
    // The idle tick with no slot bound waits as long as a live read.
    bind(4, 0);
    console.settings.serial.Baud = QStringLiteral("4800");
    console.line.resumeLivePolling();
    tick();
    EXPECT_EQ(timer.interval(), 400);
}

// --- The tick's error trap -------------------------------------------------

TEST_F(PollingTest, AClosedPortIsReopenedEverySecondTick)
{
    bind(0, 5);
    port.setPortOpen(false);
    const int opens = port.openCalls;
    tick();   // the request is dropped silently
    EXPECT_TRUE(port.outputs.isEmpty());
    EXPECT_TRUE(status.panels.isEmpty());
    tick();   // the reply check finds the port closed
    EXPECT_EQ(status.text(2), QStringLiteral("Serial port error ! ;error number = 8018"));
    EXPECT_TRUE(status.text(1).isEmpty());
    EXPECT_EQ(port.openCalls, opens + 1);
    ASSERT_TRUE(port.PortOpen());
    EXPECT_EQ(port.openedSettings.last(), QStringLiteral("19200,N,8,2"));
    EXPECT_EQ(console.line.Read_State(), ReadState::Select);
    EXPECT_TRUE(port.outputs.isEmpty());   // the tick ended
    tick();
    EXPECT_EQ(port.outputs.last(), liveRequest(5));
}

TEST_F(PollingTest, ReadAndSettingsErrorsReopenThePort)
{
    bind(0, 5);
    for (int number : {8002, 8020, 8021}) {
        SCOPED_TRACE(number);
        console.line.resumeLivePolling();
        tick();
        const int opens = port.openCalls;
        const int closes = port.closeCalls;
        const qsizetype sent = port.outputs.size();
        port.received = liveReply(5);
        port.inputError = number;
        tick();
        EXPECT_EQ(status.text(2), QStringLiteral("Serial port error ! ;error number = ") + QString::number(number));
        EXPECT_EQ(port.closeCalls, closes + 1);
        EXPECT_EQ(port.openCalls, opens + 1);
        EXPECT_EQ(port.outputs.size(), sent);
        EXPECT_EQ(console.line.Read_State(), ReadState::Select);
        EXPECT_TRUE(console.line.Reply_Buffer().isEmpty());
        EXPECT_TRUE(log.empty());
    }
}

TEST_F(PollingTest, AVanishedDeviceClosesThePortAndIsReopenedTwoTicksLater)
{
    bind(0, 5);
    tick();
    const int opens = port.openCalls;
    port.inputError = DeviceNotOpen;
    tick();
    EXPECT_EQ(status.text(2), QStringLiteral("Serial port error ! ;error number = 8012"));
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(port.openCalls, opens);
    EXPECT_EQ(console.line.Read_State(), ReadState::Select);
    tick();   // dropped
    tick();   // 8018: reopened
    EXPECT_EQ(status.text(2), QStringLiteral("Serial port error ! ;error number = 8018"));
    EXPECT_TRUE(port.PortOpen());
    answerLiveReads();
    tick();
    tick();
    EXPECT_EQ(status.text(2), QStringLiteral("Read PV ... Check CRC Ok !"));
}

TEST_F(PollingTest, AnExceptionReplyIsReportedNotDecodedAndPollingGoesOnWithTheNextSlot)
{
    bind(2, 5);
    bind(7, 9);
    const struct {
        int code;
        const char *text;
    } rows[] = {{1, "Read PV ... Exception reply, code 1 (illegal function) !"},
                {2, "Read PV ... Exception reply, code 2 (illegal data address) !"},
                {3, "Read PV ... Exception reply, code 3 (illegal data value) !"},
                {4, "Read PV ... Exception reply, code 4 (device failure) !"},
                {11, "Read PV ... Exception reply, code 11 !"}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.code);
        console.line.resumeLivePolling();
        test::pollSlotTo(console.line, 2);
        tick();
        ASSERT_EQ(port.outputs.last(), liveRequest(5));
        port.received = withCrc(bytes({5, 0x84, row.code}));
        tick();
        EXPECT_EQ(status.text(1), QStringLiteral("No.3 Slot ; ID = 5"));
        EXPECT_EQ(status.text(2), QString::fromLatin1(row.text));
        EXPECT_TRUE(log.empty());   // neither stored nor painted
        EXPECT_EQ(console.line.Poll_Slot(), 7);
        EXPECT_EQ(console.line.Read_State(), ReadState::AwaitLive);
        EXPECT_EQ(port.outputs.last(), liveRequest(9));
    }
    // A frame with the exception bit but not an exception reply's length
    // answers nothing that was asked.
    port.received = withCrc(bytes({9, 0x84, 2, 0}));
    tick();
    EXPECT_EQ(status.text(2), QStringLiteral("Read PV ... Wrong Reply !"));
    EXPECT_TRUE(log.empty());
}

// What panel 2 says when the port fails, by what the port knows of its device.
TEST_F(PollingTest, APortErrorNamesTheDeviceThatWentAwayOrIsWaitedFor)
{
    const QString device = QStringLiteral("FT232R USB UART (usb-FTDI_FT232R_USB_UART_AK05B7Q2-if00-port0)");
    const QString lastValues = QStringLiteral(" ;the values shown are the last ones received");
    const struct Row {
        int error;
        bool reopens;
        SerialPort::BoundDevice bound;
        bool valuesShown;
        QString text;
    } rows[] = {
        {8012, false, {device, false}, true, QStringLiteral(" ;") + device + QStringLiteral(" went away") + lastValues},
        {8020, false, {device, true}, true, QStringLiteral(" ;waiting for ") + device + QStringLiteral(" to come back") + lastValues},
        {8018, false, {device, true}, false, QStringLiteral(" ;waiting for ") + device + QStringLiteral(" to come back")},
        {8018, true, {device, false}, true, {}},    // open again: the next reply tells
        {8021, false, {device, false}, true, {}},   // the device is there; it refused the settings
        {8018, false, {}, false, {}},               // never opened: nothing bound to name
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.error);
        status.panels.clear();
        Console c;
        c.settings.serial = console.settings.serial;
        c.slots.SlotId[0] = 5;
        test::FakeSerialPort p;
        c.line.attach(&p, &timer, nullptr);
        p.setPortOpen(true);
        p.onOutput = [&p](const QByteArray &) { p.received = liveReply(5); };
        PollingCycle pc{c, status, store, painter};
        if (row.valuesShown) {
            pc.Timer_Read_Timer();
            pc.Timer_Read_Timer();
            ASSERT_EQ(status.text(2), QStringLiteral("Read PV ... Check CRC Ok !"));
        }
        pc.Timer_Read_Timer();
        p.inputError = row.error;
        p.refuseOpen = !row.reopens;
        p.bound = row.bound;
        pc.Timer_Read_Timer();
        EXPECT_EQ(status.text(2), PollingCycle::portErrorText(row.error) + row.text);
    }
}

// --- A real line that goes away and comes back --------------------------------

// The polling cycle on a real port, controller 7 bound to slot 3. The ports
// are the machine's, or those the test lists.
class RealPortTest : public ::testing::Test {
protected:
    enum class Ports { OfTheMachine, ListedByTheTest };
    explicit RealPortTest(Ports ports)
        : port(ports == Ports::OfTheMachine ? ComPortResolver(dir.path())
                                            : ComPortResolver(dir.path(), [this] { return listed; }))
    {
        test::coreApp();
        console.line.attach(&port, &timer, nullptr);
        console.programDir = dir.path();
        console.settings.serial = {QStringLiteral("COM1"), QStringLiteral("19200"),
                                   QStringLiteral("2"), QStringLiteral("8"), QStringLiteral("None")};
        console.slots.SlotId[3] = 7;
        console.slots.Slot_DP_Code.fill(47);
    }

    QTemporaryDir dir;
    QList<ListedPort> listed;
    Console console;
    QtSerialPort port;
    test::FakeTimer timer{100};
    test::FakeStatus status;
    std::vector<Call> log;
    test::LiveValueStoreSpy store = loggingStore(console, log);
    test::SlotPainterSpy painter = loggingPainter(log);
    PollingCycle cycle{console, status, store, painter};
};

class VanishingPortTest : public RealPortTest {
protected:
    VanishingPortTest() : RealPortTest(Ports::OfTheMachine) {}

    // One tick, then the controller on the far end answers what was asked.
    void tickAndAnswer(PseudoTerminal *line)
    {
        cycle.Timer_Read_Timer();
        if (!line)
            return;
        const QByteArray request = line->readFor(100);
        if (request == liveRequest(7))
            line->write(liveReply(7));
        QTest::qWait(30);
    }
};

TEST_F(VanishingPortTest, PollingResumesByItselfWhenTheDeviceComesBack)
{
    ASSERT_TRUE(dir.isValid());
    auto line = std::make_unique<PseudoTerminal>();
    line->bindAs(dir.path(), 1);
    const QString firstSlave = line->slavePath();
    Open_Serial_Port(port, console.settings.serial);
    ASSERT_TRUE(port.PortOpen());

    for (int i = 0; i < 4; ++i)
        tickAndAnswer(line.get());
    EXPECT_EQ(status.text(1), QStringLiteral("No.4 Slot ; ID = 7"));
    EXPECT_EQ(status.text(2), QStringLiteral("Read PV ... Check CRC Ok !"));
    EXPECT_GE(paintCount(log), 3);

    line->close();
    line.reset();
    bool reported = false;
    for (int i = 0; i < 4 && !reported; ++i) {
        tickAndAnswer(nullptr);
        reported = status.text(2).startsWith(QStringLiteral("Serial port error ! ;error number = 80"));
    }
    EXPECT_TRUE(reported) << status.text(2).toStdString();
    // Whichever way the dead line shows itself, the text names the device
    // and says that the panel is no longer live.
    const QString device = QStringLiteral("ports/COM1 (linked to ") + firstSlave + QLatin1Char(')');
    const QString lastValues = QStringLiteral(" ;the values shown are the last ones received");
    const QStringList expected{
        PollingCycle::portErrorText(8012) + QStringLiteral(" ;") + device + QStringLiteral(" went away") + lastValues,
        PollingCycle::portErrorText(8020) + QStringLiteral(" ;waiting for ") + device
            + QStringLiteral(" to come back") + lastValues};
    EXPECT_TRUE(expected.contains(status.text(2))) << status.text(2).toStdString();

    const int paintsBefore = paintCount(log);
    line = std::make_unique<PseudoTerminal>();
    line->bindAs(dir.path(), 1);
    bool resumed = false;
    for (int i = 0; i < 8 && !resumed; ++i) {
        tickAndAnswer(line.get());
        resumed = status.text(2) == QStringLiteral("Read PV ... Check CRC Ok !");
    }
    EXPECT_TRUE(resumed) << status.text(2).toStdString();
    EXPECT_GT(paintCount(log), paintsBefore);
}

// --- A COM name stays with its device -------------------------------------------

// The machine as the port lister sees it: a USB adapter with the controllers
// on it, and an on-board UART where some other device answers every request
// with a frame that passes its CRC check. Pseudo-terminals stand in for both.
class BoundDeviceTest : public RealPortTest {
protected:
    BoundDeviceTest() : RealPortTest(Ports::ListedByTheTest) {}

    // One tick; then the controllers (when connected) answer what they were
    // asked, and the device on the UART answers whatever reached it.
    void tickAndAnswer(PseudoTerminal *controllers)
    {
        cycle.Timer_Read_Timer();
        if (controllers && controllers->readFor(100) == liveRequest(7))
            controllers->write(liveReply(7));
        const QByteArray strayRequest = uart.readFor(controllers ? 0 : 60);
        if (!strayRequest.isEmpty()) {
            uartHeard += strayRequest;
            uart.write(foreignReply);
        }
        QTest::qWait(30);
    }

    bool foreignValuesTaken() const
    {
        return std::any_of(log.begin(), log.end(), [this](const Call &c) { return c.reply == foreignReply; });
    }

    // Ticks while the device is away; returns the status text they ended on.
    QString tickWhileAway()
    {
        for (int i = 0; i < 12; ++i)
            tickAndAnswer(nullptr);
        return status.text(2);
    }

    // Ticks with the device back until a live reply is taken again.
    bool resumesOn(PseudoTerminal &controllers)
    {
        for (int i = 0; i < 10; ++i) {
            tickAndAnswer(&controllers);
            if (status.text(2) == QStringLiteral("Read PV ... Check CRC Ok !"))
                return true;
        }
        return false;
    }

    PseudoTerminal uart;
    const QByteArray foreignReply = countingReply(7, 4, 30, 900);
    QByteArray uartHeard;
};

TEST_F(BoundDeviceTest, APulledAdapterIsWaitedForAndFoundAgainUnderAnotherNumber)
{
    auto adapter = std::make_unique<PseudoTerminal>();
    listed = {test::usbAdapter(adapter->slavePath(), QStringLiteral("ttyUSB0")), test::onBoardUart(uart.slavePath())};
    Open_Serial_Port(port, console.settings.serial);
    ASSERT_TRUE(port.PortOpen());
    ASSERT_TRUE(resumesOn(*adapter));

    // Pulled: COM1 would now resolve to the UART by number.
    adapter->close();
    listed = {test::onBoardUart(uart.slavePath())};
    EXPECT_EQ(tickWhileAway(),
              QStringLiteral("Serial port error ! ;error number = 8018 ;waiting for FT232R USB UART "
                             "(usb-FTDI_FT232R_USB_UART_AK05B7Q2-if00-port0) to come back ;the values shown "
                             "are the last ones received"));
    EXPECT_TRUE(uartHeard.isEmpty());
    EXPECT_FALSE(foreignValuesTaken());

    // Plugged in again, as ttyUSB1 now.
    const std::size_t before = log.size();
    adapter = std::make_unique<PseudoTerminal>();
    listed = {test::onBoardUart(uart.slavePath()), test::usbAdapter(adapter->slavePath(), QStringLiteral("ttyUSB1"))};
    EXPECT_TRUE(resumesOn(*adapter)) << status.text(2).toStdString();
    EXPECT_GT(log.size(), before);
    EXPECT_TRUE(uartHeard.isEmpty());
    EXPECT_FALSE(foreignValuesTaken());
}

TEST_F(BoundDeviceTest, ALinkThatDisappearsIsWaitedForAndFollowedWhenItIsBack)
{
    listed = {test::onBoardUart(uart.slavePath())};
    auto simulator = std::make_unique<PseudoTerminal>();
    simulator->bindAs(dir.path(), 1);
    const QString firstTarget = simulator->slavePath();
    Open_Serial_Port(port, console.settings.serial);
    ASSERT_TRUE(port.PortOpen());
    ASSERT_TRUE(resumesOn(*simulator));

    simulator->close();   // the simulator ends and takes its link with it
    simulator.reset();
    EXPECT_EQ(tickWhileAway(), QStringLiteral("Serial port error ! ;error number = 8018 ;waiting for ports/COM1 "
                                              "(linked to ")
                  + firstTarget + QStringLiteral(") to come back ;the values shown are the last ones received"));
    EXPECT_TRUE(uartHeard.isEmpty());
    EXPECT_FALSE(foreignValuesTaken());

    // Started again, on another pseudo-terminal; other programs hold the
    // first one's number if it comes round again.
    std::vector<std::unique_ptr<PseudoTerminal>> otherPrograms;
    simulator = std::make_unique<PseudoTerminal>();
    while (simulator->slavePath() == firstTarget && otherPrograms.size() < 8) {
        otherPrograms.push_back(std::move(simulator));
        simulator = std::make_unique<PseudoTerminal>();
    }
    simulator->bindAs(dir.path(), 1);
    const QString secondTarget = simulator->slavePath();
    ASSERT_NE(secondTarget, firstTarget);
    EXPECT_TRUE(resumesOn(*simulator)) << status.text(2).toStdString();
    EXPECT_TRUE(uartHeard.isEmpty());
    EXPECT_FALSE(foreignValuesTaken());

    // Gone again: the text names where the link led last.
    simulator.reset();
    EXPECT_TRUE(tickWhileAway().contains(QStringLiteral("waiting for ports/COM1 (linked to ") + secondTarget
                                         + QStringLiteral(") to come back")));
    EXPECT_TRUE(uartHeard.isEmpty());
}

} // namespace
