// The scan driven tick by tick over a fake port: nothing answering, answers
// with good and broken CRCs, and a scan that loses its port or its window.

#include "serial_setting_fixture.h"

#include "link/frames.h"
#include "support/replies.h"
#include "support/spies.h"

#include <QProgressBar>

using namespace orbalis;
using namespace orbalis::test;

namespace {

class ScanCycleTest : public SerialSettingFixture {
public:
    void start()
    {
        open();
        console.lineObservers.add(&observer);
        window->Command1_Click(3);
    }
    // Ticks until the scan ends or the limit; returns the ticks run.
    int runScan(int limit = 2000)
    {
        int ticks = 0;
        while (window->Timer1().isEnabled() && ticks < limit) {
            window->Timer1_Timer();
            ++ticks;
        }
        return ticks;
    }
    void TearDown() override { console.lineObservers.remove(&observer); }

    LineSpy observer;
};

} // namespace

TEST_F(ScanCycleTest, NothingAnsweringFillsEveryCellAndEndsAt2400)
{
    start();
    EXPECT_FALSE(timerRead.isEnabled());
    EXPECT_TRUE(window->Timer1().isEnabled());
    EXPECT_EQ(window->Timer1().interval(), 25);
    EXPECT_FALSE(startEnabled());
    EXPECT_TRUE(stopEnabled());

    // The interval each block runs at, seen right after its sending tick.
    QList<int> intervals;
    int ticks = 0;
    while (window->Timer1().isEnabled() && ticks < 2000) {
        const bool blockStart = console.line.Send_Pending();
        window->Timer1_Timer();
        ++ticks;
        if (blockStart)
            intervals << window->Timer1().interval();
    }
    EXPECT_EQ(ticks, 1024);
    EXPECT_EQ(intervals, (QList<int>{50, 100, 200, 400}));
    EXPECT_EQ(port.openedSettings.mid(1), (QStringList{QStringLiteral("19200,N,8,2"), QStringLiteral("9600,N,8,2"),
                                                        QStringLiteral("4800,N,8,2"), QStringLiteral("2400,N,8,2")}));

    int dashes = 0;
    for (int row = 1; row <= 255; ++row)
        for (int column = 1; column <= 4; ++column)
            dashes += cell(row, column) == QStringLiteral("---");
    EXPECT_EQ(dashes, 1020);
    EXPECT_EQ(window->Label2()->text(), QStringLiteral("100 %"));
    EXPECT_EQ(window->ProgressBar1()->value(), 1019);
    EXPECT_EQ(window->ProgressBar1()->maximum(), 1019);
    EXPECT_EQ(console.settings.serial.Baud, QStringLiteral("2400"));
    EXPECT_EQ(record1().Baud, QStringLiteral("2400"));
    EXPECT_EQ(reporter.beeps, 0);

    // Every ID once per block, at the process value.
    ASSERT_EQ(observer.requests(Exchange::Scan).size(), 1020);
    ASSERT_EQ(port.outputs.size(), 1020);
    for (int n = 0; n < 1020; n += 97) {
        const int id = n % 255 + 1;
        EXPECT_EQ(observer.requests(Exchange::Scan)[n].first, id);
        const auto frame = buildRequest(std::uint8_t(id), 4, 4096, 1);
        EXPECT_EQ(port.outputs[n], QByteArray(reinterpret_cast<const char *>(frame->data()), 8));
    }
    EXPECT_EQ(observer.outcomes(Exchange::Scan).count(LineOutcome::NoAnswer), 1020);

    // Polling is back.
    EXPECT_TRUE(timerRead.isEnabled());
    EXPECT_EQ(console.line.Read_State(), ReadState::Select);
    EXPECT_TRUE(startEnabled());
    EXPECT_FALSE(stopEnabled());
}

TEST_F(ScanCycleTest, BrokenCrcBeepsThriceGoodCrcOnceAndEnds)
{
    port.onOutput = [this](const QByteArray &request) {
        const int id = quint8(request[0]);
        if (id == 3) {
            QByteArray bad = readReply(3, 4, {250});
            bad[bad.size() - 1] = char(bad[bad.size() - 1] ^ 1);
            port.received = bad;
        } else if (id == 5) {
            port.received = readReply(5, 4, {250});
        }
    };
    start();
    EXPECT_EQ(runScan(), 6);
    EXPECT_EQ(cell(3, 1), QStringLiteral("CRC Error !"));
    EXPECT_EQ(cell(4, 1), QStringLiteral("---"));
    EXPECT_EQ(cell(5, 1), QStringLiteral("CRC Ok !"));
    EXPECT_EQ(cell(6, 1), QString());
    EXPECT_EQ(reporter.beeps, 4);
    EXPECT_EQ(window->Label2()->text(), QStringLiteral("0 %"));
    EXPECT_EQ(window->scan().Scan_Step(), 4);
    EXPECT_EQ(record1().Baud, QStringLiteral("19200"));
    EXPECT_TRUE(timerRead.isEnabled());
    EXPECT_EQ(observer.outcomes(Exchange::Scan), (QList<LineOutcome>{LineOutcome::NoAnswer, LineOutcome::NoAnswer,
                                                     LineOutcome::CrcError, LineOutcome::NoAnswer, LineOutcome::Good}));

    // A second "Start" clears the table before asking again.
    window->Command1_Click(3);
    EXPECT_EQ(cell(5, 1), QString());
    EXPECT_EQ(cell(3, 1), QString());
    EXPECT_TRUE(window->Timer1().isEnabled());
}

TEST_F(ScanCycleTest, OnlyAReplyFromTheAskedControllerOrOneThatNamesItselfIsFound)
{
    // The asked ID gets `reply`; controller 9 answers well, so a scan that
    // goes on ends there. A good CRC alone finds nobody: the reply must come
    // from the asked ID with its function, or name the controller it is from.
    constexpr int Later = 9;
    const QString ok = QStringLiteral("CRC Ok !"), wrong = QStringLiteral("Wrong Reply !");
    struct Case {
        const char *what;
        int asked;
        QByteArray reply;
        LineOutcome outcome;                  // for the asked ID, as the line's observers hear it
        QList<QPair<int, QString>> cells;     // rows of the 19200 column
        int foundRow;                         // the row the scan ends on
        int beeps;
    };
    const Case cases[] = {
        {"a late reply of ID 1 is ID 1's", 2, readReply(1, 4, {250}), LineOutcome::WrongReply,
         {{1, ok}, {2, QStringLiteral("---")}}, 1, 1},
        {"a late refusal of ID 1 is ID 1's", 2, exceptionReply(1, 4, 2), LineOutcome::WrongReply,
         {{1, ok}, {2, QStringLiteral("---")}}, 1, 1},
        {"an answer to another function", 3, readReply(3, 3, {250}), LineOutcome::WrongReply,
         {{3, wrong}, {Later, ok}}, Later, 3 + 1},
        {"an answer of another count", 4, readReply(4, 4, {250, 251}), LineOutcome::WrongReply,
         {{4, wrong}, {Later, ok}}, Later, 3 + 1},
        {"another controller's reply to another request", 7, readReply(200, 3, {1, 2}), LineOutcome::WrongReply,
         {{7, wrong}, {200, QString()}, {Later, ok}}, Later, 3 + 1},
        {"a reply from the broadcast address", 8, readReply(0, 4, {250}), LineOutcome::WrongReply,
         {{8, wrong}, {Later, ok}}, Later, 3 + 1},
        {"the asked controller's refusal", 5, exceptionReply(5, 4, 2), LineOutcome::ExceptionReply, {{5, ok}}, 5,
         1},
        {"the asked controller's answer", 6, readReply(6, 4, {250}), LineOutcome::Good, {{6, ok}}, 6, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        port.onOutput = [this, &c](const QByteArray &request) {
            const int id = quint8(request[0]);
            port.received = id == c.asked ? c.reply : id == Later ? readReply(Later, 4, {250}) : QByteArray();
        };
        observer.clear();
        reporter.beeps = 0;
        start();
        runScan();
        EXPECT_FALSE(window->Timer1().isEnabled());
        for (const auto &[row, text] : c.cells)
            EXPECT_EQ(cell(row, 1), text) << "row " << row;
        EXPECT_EQ(window->scan().Scan_Step(), std::max(c.asked, c.foundRow) - 1);
        EXPECT_EQ(reporter.beeps, c.beeps);
        const QList<LineOutcome> outcomes = observer.outcomes(Exchange::Scan);
        ASSERT_GE(outcomes.size(), c.asked);
        EXPECT_EQ(outcomes[c.asked - 1], c.outcome);
        console.lineObservers.remove(&observer);
    }
}

TEST_F(ScanCycleTest, AScanThatLosesItsPortOrWindowEndsAndSaysSo)
{
    struct Case {
        const char *name;
        int ticksFirst;
        std::function<void(ScanCycleTest &)> act;
        bool polling;          // Timer_Read afterwards
        QString status;        // main window panel 2 afterwards
        QString message;       // start of the trap's message, if any
    };
    const Case cases[] = {
        {"CLOSE applied during the scan", 20,
         [](ScanCycleTest &t) {
             t.pick(SerialField::Port, QStringLiteral("CLOSE"));
             t.window->Command1_Click(1);
             t.window->Timer1_Timer();
         },
         false, ScanCycle::portClosedText(), {}},
        {"reopening fails at a block start", 256,
         [](ScanCycleTest &t) {
             t.port.refuseOpen = true;
             t.window->Timer1_Timer();   // the block start of 9600 baud
         },
         false, ScanCycle::portClosedText(), QStringLiteral("At Control_RS232_Setting_Ok()")},
        {"the device vanishes", 20,
         [](ScanCycleTest &t) {
             t.port.inputError = DeviceNotOpen;
             t.window->Timer1_Timer();
         },
         true, QStringLiteral("before"), QStringLiteral("At Timer1_Timer()\r\nWrong code: 8012")},
        {"the window closes", 20, [](ScanCycleTest &t) { t.window->close(); }, true, QStringLiteral("before"), {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        port.refuseOpen = false;
        reporter.messages.clear();
        mainStatus.setText(2, QStringLiteral("before"));
        console.line.awaitLiveReply();
        start();
        ASSERT_EQ(runScan(c.ticksFirst), c.ticksFirst);
        c.act(*this);
        EXPECT_FALSE(window->Timer1().isEnabled());
        EXPECT_EQ(timerRead.isEnabled(), c.polling);
        EXPECT_EQ(console.line.Read_State(), ReadState::Select);
        EXPECT_EQ(mainStatus.text(2), c.status);
        if (c.message.isEmpty())
            EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join(u'|').toStdString();
        else
            EXPECT_TRUE(!reporter.messages.isEmpty() && reporter.messages.last().startsWith(c.message));
        EXPECT_EQ(startEnabled(), port.PortOpen());
        EXPECT_FALSE(stopEnabled());
        console.lineObservers.remove(&observer);
        if (!port.PortOpen()) {
            port.refuseOpen = false;
            port.setPortOpen(false);
            SetUp();
        }
    }
}

TEST_F(ScanCycleTest, SettingsAppliedDuringAScanLeaveTheLineToTheScan)
{
    start();
    runScan(10);
    pick(SerialField::Party, QStringLiteral("Even"));
    window->Command1_Click(1);
    EXPECT_EQ(port.openedSettings.last(), QStringLiteral("19200,E,8,2"));
    EXPECT_FALSE(timerRead.isEnabled());
    EXPECT_TRUE(window->Timer1().isEnabled());
    EXPECT_FALSE(startEnabled());
    EXPECT_TRUE(stopEnabled());
    window->Command1_Click(4);
    EXPECT_TRUE(timerRead.isEnabled());
    EXPECT_FALSE(window->Timer1().isEnabled());
}
