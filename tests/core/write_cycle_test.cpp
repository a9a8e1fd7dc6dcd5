// The write cycle driven tick by tick against a fake port: what goes on the
// line, how each reply is judged, and what the console does after it.

#include "core/write_cycle.h"

#include "link/frames.h"
#include "model/register_map.h"
#include "settings/settings_store.h"
#include "support/fake_parameter_window.h"
#include "support/fake_serial_port.h"
#include "support/fakes.h"
#include "support/replies.h"
#include "support/spies.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

using namespace orbalis;

namespace {

constexpr int Slot = 2;
constexpr int Id = 7;

QByteArray exceptionReply(int id, int code)
{
    QByteArray r;
    r.append(char(id)).append(char(0x86)).append(char(code));
    return withCrc(r);
}

struct FakeSerialSettings : SerialSettingsView {
    QStringList bauds;
    void setComboControlBaud(const QString &text) override { bauds << text; }
};

class WriteCycleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        console.programDir = dir.path();
        console.settings.serial = {QStringLiteral("COM1"), QStringLiteral("19200"), QStringLiteral("2"),
                                   QStringLiteral("8"), QStringLiteral("None")};
        console.slots.SlotId[Slot] = Id;
        console.slots.Slot_DP_Code[Slot] = 48;
        console.line.showParametersOf(Slot);
        console.line.attach(&port, &timerRead, &timerWrite);
        console.parameterWindow = &window;
        console.lineObservers.add(&line);
        console.serialSettingsWindow = [this]() -> SerialSettingsView & { return serialSettings; };
        port.setSettings(QStringLiteral("19200,N,8,2"));
        port.setPortOpen(true);
        timerRead.setEnabled(true);
        // Every parameter holds something sendable.
        for (const RegisterInfo &r : holdingRegisters()) {
            if (r.kind == ValueKind::Choice)
                window.sink.selections[r.address] = 0;
            else
                window.sink.texts[r.address] = QStringLiteral("1");
        }
    }

    // Enter in a box, then the send tick.
    void enterAndSend(int address)
    {
        ASSERT_EQ(cycle.startSingleWrite(address), WriteCycle::Start::Started);
        cycle.Timer_Write_Timer();
    }

    QString panel2() const { return window.panels.text(2); }

    QTemporaryDir dir;
    Console console;
    test::FakeSerialPort port;
    test::FakeTimer timerRead{100};
    test::FakeTimer timerWrite{100};
    test::FakeParameterWindow window;
    test::FakeReporter reporter;
    test::LineSpy line;
    FakeSerialSettings serialSettings;
    WriteCycle cycle{console, reporter};
};

TEST_F(WriteCycleTest, SingleWriteRepliesAreJudgedAndPollingResumesOnlyOnAGoodEcho)
{
    struct Case {
        const char *what;
        int address;
        int value;   // what the box shows, encoded
        std::function<QByteArray(const QByteArray &request)> reply;
        const char *appended;
        LineOutcome outcome;
        bool pollingResumes;
        ReadState readState;
    };
    const auto echo = [](const QByteArray &r) { return r; };
    const Case cases[] = {
        {"echo of SV", 0, 10, echo, " Check CRC ok !", LineOutcome::Good, true, ReadState::ReadOne},
        {"echo of DP", 45, 47, echo, " Check CRC ok !", LineOutcome::Good, true, ReadState::ReadAll},
        {"echo of RUN", 15, 17, echo, " Check CRC ok !", LineOutcome::Good, true, ReadState::ReadAll},
        {"function error", 0, 10, [](const QByteArray &) { return exceptionReply(Id, 1); },
         " Function Error 請檢查您的指令 !", LineOutcome::ExceptionReply, false, ReadState::AwaitLive},
        {"address error", 0, 10, [](const QByteArray &) { return exceptionReply(Id, 2); },
         " Address Error 請檢查您的參數位址 !", LineOutcome::ExceptionReply, false, ReadState::AwaitLive},
        {"data error", 0, 10, [](const QByteArray &) { return exceptionReply(Id, 3); },
         " Data Error 請檢查您的資料 !", LineOutcome::ExceptionReply, false, ReadState::AwaitLive},
        {"other exception code", 0, 10, [](const QByteArray &) { return exceptionReply(Id, 4); },
         " Error ? 無法辨識通訊格式 !", LineOutcome::ExceptionReply, false, ReadState::AwaitLive},
        {"exception of another controller", 0, 10, [](const QByteArray &) { return exceptionReply(Id + 1, 2); },
         " Error ? 無法辨識通訊格式 !", LineOutcome::WrongReply, false, ReadState::AwaitLive},
        {"echo with a wrong last byte", 0, 10, [](const QByteArray &r) { return r.left(7) + char(r[7] ^ 1); },
         " Check CRC Error !", LineOutcome::CrcError, false, ReadState::AwaitLive},
        {"nothing", 0, 10, [](const QByteArray &) { return QByteArray(); }, " No Answer !",
         LineOutcome::NoAnswer, false, ReadState::AwaitLive},
        {"echo of another value", 0, 10, [](const QByteArray &) { return test::writeRequest(Id, 0, 11); },
         " Error ? 無法辨識通訊格式 !", LineOutcome::WrongReply, false, ReadState::AwaitLive},
        {"echo of another controller", 0, 10, [](const QByteArray &) { return test::writeRequest(Id + 1, 0, 10); },
         " Error ? 無法辨識通訊格式 !", LineOutcome::WrongReply, false, ReadState::AwaitLive},
        {"good CRC, six bytes", 0, 10, [](const QByteArray &) { return withCrc(QByteArray::fromHex("07060000")); },
         " Error ? 無法辨識通訊格式 !", LineOutcome::WrongReply, false, ReadState::AwaitLive},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        line.entries.clear();
        port.outputs.clear();
        console.line.awaitLiveReply();
        timerRead.setEnabled(true);
        window.sink.texts[0] = QStringLiteral("1.0");   // 10 at one decimal
        port.onOutput = [&](const QByteArray &request) { port.received = c.reply(request); };

        enterAndSend(c.address);
        EXPECT_FALSE(timerRead.isEnabled());
        ASSERT_EQ(port.outputs.size(), 1);
        EXPECT_EQ(port.outputs[0], test::writeRequest(Id, c.address, c.value));
        const QString pleaseWait = WriteCycle::writeText(c.address);
        EXPECT_EQ(panel2(), pleaseWait);

        cycle.Timer_Write_Timer();   // the reply tick
        EXPECT_EQ(panel2(), pleaseWait + QString::fromUtf8(c.appended));
        EXPECT_FALSE(timerWrite.isEnabled());
        EXPECT_EQ(timerRead.isEnabled(), c.pollingResumes);
        EXPECT_EQ(console.line.Read_State(), c.readState);
        EXPECT_EQ(console.line.Para_Index(), c.address);
        ASSERT_EQ(line.entries.size(), 2);
        EXPECT_TRUE(line.entries[0].sent);
        EXPECT_FALSE(line.entries[1].sent);
        EXPECT_EQ(line.entries[1].exchange, Exchange::Write);
        EXPECT_EQ(line.entries[1].slot, Slot);
        EXPECT_EQ(line.entries[1].id, Id);
        EXPECT_EQ(line.entries[1].outcome, c.outcome);
    }
    // Only the good echoes of SV, DP, RUN and ID; no baud change among them.
    EXPECT_TRUE(serialSettings.bauds.isEmpty());
}

TEST_F(WriteCycleTest, EachTickComesOneIntervalOfTheBaudRateLater)
{
    const std::pair<const char *, int> rates[] = {{"2400", 800}, {"4800", 400}, {"9600", 200},
                                                  {"19200", 100}, {"38400", 100}};
    for (const auto &[baud, ms] : rates) {
        SCOPED_TRACE(baud);
        console.settings.serial.Baud = QString::fromLatin1(baud);
        ASSERT_EQ(cycle.startSingleWrite(0), WriteCycle::Start::Started);
        // Set before the first tick: the request goes out one interval after Enter.
        EXPECT_EQ(timerWrite.interval(), ms);
        cycle.Timer_Write_Timer();
        EXPECT_EQ(timerWrite.interval(), ms);
        cycle.Timer_Write_Timer();
        EXPECT_EQ(timerWrite.interval(), ms);
    }
}

TEST_F(WriteCycleTest, AValueThatCannotBeSentIsRefusedBeforeAnythingStops)
{
    struct Case {
        const char *what;
        int address;
        std::function<void()> prepare;
        const char *reason;
    };
    const Case cases[] = {
        {"RUN with nothing selected", 15, [&] { window.sink.selections[15] = -1; }, "Nothing selected !"},
        {"typed BAUD that is no item", 53, [&] { window.sink.selections[53] = -1; }, "Nothing selected !"},
        {"SV beyond 16 bits", 0, [&] { window.sink.texts[0] = QStringLiteral("7000"); }, "Value out of range !"},
        {"CT below -65536", 55, [&] { window.sink.texts[55] = QStringLiteral("-70000"); }, "Value out of range !"},
        {"a number past 32 bits", 1, [&] { window.sink.texts[1] = QStringLiteral("1e12"); }, "Value out of range !"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        timerRead.setEnabled(true);
        EXPECT_EQ(cycle.startSingleWrite(c.address), WriteCycle::Start::Refused);
        EXPECT_EQ(panel2(), QString::fromLatin1(c.reason));
        EXPECT_TRUE(timerRead.isEnabled());
        EXPECT_FALSE(timerWrite.isEnabled());
    }
    EXPECT_TRUE(port.outputs.isEmpty());
    EXPECT_TRUE(line.entries.empty());
}

TEST_F(WriteCycleTest, ALiveBoxOrAClosedPortStopsTheWriteWithItsTextAndPollingStaysStopped)
{
    enterAndSend(4096);
    EXPECT_EQ(panel2(), QString::fromUtf8(" Error ? 無法辨識通訊格式 !"));
    EXPECT_FALSE(timerWrite.isEnabled());
    EXPECT_FALSE(timerRead.isEnabled());
    EXPECT_TRUE(port.outputs.isEmpty());

    port.setPortOpen(false);
    enterAndSend(0);
    EXPECT_EQ(panel2(), "Serial port is not open !");
    EXPECT_EQ(reporter.beeps, 1);
    EXPECT_FALSE(timerWrite.isEnabled());
    EXPECT_FALSE(timerRead.isEnabled());
}

TEST_F(WriteCycleTest, ASecondEnterWhileAWriteRunsIsRefusedWithABeep)
{
    ASSERT_EQ(cycle.startSingleWrite(0), WriteCycle::Start::Started);
    EXPECT_EQ(cycle.startSingleWrite(1), WriteCycle::Start::Busy);
    EXPECT_EQ(reporter.beeps, 1);
    EXPECT_EQ(console.line.Para_Index(), 0);
}

TEST_F(WriteCycleTest, OnlyAGoodEchoOfBaudMovesTheConsoleAndItsSettingsFile)
{
    Fill_Default_Settings(console.settings);
    saveSettingsRecords(console.settingsPath(), {1, 2, 3, 4, 5, 6, 7}, console.settings);
    QFile file(console.settingsPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    window.sink.selections[53] = 2;   // "9600", code 63
    const std::pair<const char *, std::function<QByteArray(const QByteArray &)>> refusals[] = {
        {"no answer", [](const QByteArray &) { return QByteArray(); }},
        {"data error", [](const QByteArray &) { return exceptionReply(Id, 3); }},
        {"broken CRC", [](const QByteArray &r) { return r.left(7) + char(r[7] ^ 1); }},
        {"echo of another value", [](const QByteArray &) { return test::writeRequest(Id, 53, 64); }},
    };
    for (const auto &[what, reply] : refusals) {
        SCOPED_TRACE(what);
        port.onOutput = [&](const QByteArray &request) { port.received = reply(request); };
        const int opens = port.openCalls;
        enterAndSend(53);
        cycle.Timer_Write_Timer();
        EXPECT_EQ(console.settings.serial.Baud, "19200");
        EXPECT_EQ(port.Settings(), "19200,N,8,2");
        EXPECT_EQ(port.openCalls, opens);
        EXPECT_TRUE(serialSettings.bauds.isEmpty());
        EXPECT_FALSE(timerRead.isEnabled());
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    file.close();

    // The echo comes at the old rate and is judged before the port moves.
    QStringList settingsWhenReplyRead;
    port.onOutput = [&](const QByteArray &request) { port.received = request; };
    enterAndSend(53);
    EXPECT_EQ(port.outputs.last(), test::writeRequest(Id, 53, 63));
    EXPECT_EQ(port.Settings(), "19200,N,8,2");
    cycle.Timer_Write_Timer();
    EXPECT_EQ(panel2(), WriteCycle::writeText(53) + " Check CRC ok !");
    EXPECT_EQ(serialSettings.bauds, QStringList{"9600"});
    EXPECT_EQ(console.settings.serial.Baud, "9600");
    EXPECT_EQ(port.Settings(), "9600,N,8,2");
    EXPECT_TRUE(port.PortOpen());
    EXPECT_EQ(port.openedSettings.last(), "9600,N,8,2");
    // The read-back of register 53 is polling's next request, at the new rate.
    EXPECT_EQ(console.line.Read_State(), ReadState::ReadOne);
    EXPECT_EQ(console.line.Para_Index(), 53);
    EXPECT_TRUE(timerRead.isEnabled());

    SettingsModel reread;
    SettingsFile settingsFile(console.settingsPath());
    settingsFile.open();
    Read_User_Setting(settingsFile, 1, reread);
    EXPECT_EQ(reread.serial.Baud, "9600");
    EXPECT_EQ(reread.serial.Port, "COM1");
    EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join('\n').toStdString();
}

// A write asked for over MQTT, to slot 5 (controller 9, one decimal), while
// the parameter window shows slot 2: the window's checks, the write, the read
// back from the same controller, and polling again whatever came.
class RemoteWriteTest : public WriteCycleTest {
protected:
    static constexpr int RemoteSlot = 5;
    static constexpr int RemoteId = 9;

    void SetUp() override
    {
        WriteCycleTest::SetUp();
        console.slots.SlotId[RemoteSlot] = RemoteId;
        console.slots.Slot_DP_Code[RemoteSlot] = 48;
        console.line.awaitLiveReply();
        cycle.addWriteObserver(&audit);
    }

    WriteCycle::Start start(int address, const QString &text)
    {
        return cycle.startRemoteWrite(WriteOrigin::Mqtt, RemoteSlot, address, text,
                                      [this](const RemoteWriteResult &r) { results.push_back(r); });
    }

    std::vector<RemoteWriteResult> results;
    test::WriteLog audit;
};

TEST_F(RemoteWriteTest, AWriteIsSentReadBackFromItsControllerAndPollingGoesOn)
{
    struct Case {
        const char *what;
        int address;
        const char *text;
        int value;                                             // what goes on the line
        std::function<QByteArray(const QByteArray &)> echo;    // the answer to the write
        std::function<QByteArray()> readBack;                  // the answer to the read that follows; none: not sent
        bool ok;
        const char *shown;
        const char *reason;
    };
    const auto echo = [](const QByteArray &r) { return r; };
    const auto holds = [](int address, int value) {
        return [=] { return test::blockReply(RemoteId, address, 1, {{address, std::uint16_t(value)}}); };
    };
    const Case cases[] = {
        {"SV typed with one decimal", 0, "123.4", 1234, echo, holds(0, 1234), true, "123.4", ""},
        {"SV below zero", 0, "-5", 65486, echo, holds(0, 65486), true, "-5.0", ""},
        {"RUN picked from its list", 15, "HAND", 20, echo, holds(15, 20), true, "HAND", ""},
        {"RUN without the item's trailing blank", 15, "AT2", 19, echo, holds(15, 19), true, "AT2 ", ""},
        {"the controller refuses", 0, "50", 500, [](const QByteArray &) { return exceptionReply(RemoteId, 3); },
         nullptr, false, "", "Data Error 請檢查您的資料 !"},
        {"no echo", 0, "50", 500, [](const QByteArray &) { return QByteArray(); }, nullptr, false, "",
         "No Answer !"},
        {"echo, then no read back", 0, "50", 500, echo, [] { return QByteArray(); }, true, "",
         "Read back: No Answer !"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        results.clear();
        audit.writes.clear();
        port.outputs.clear();
        line.entries.clear();
        window.panels.setText(2, QStringLiteral("untouched"));
        timerRead.setEnabled(true);
        console.line.awaitLiveReply();
        port.onOutput = [&](const QByteArray &request) {
            port.received = request[1] == 6 ? c.echo(request) : (c.readBack ? c.readBack() : QByteArray());
        };

        ASSERT_EQ(start(c.address, QString::fromUtf8(c.text)), WriteCycle::Start::Started);
        EXPECT_FALSE(timerRead.isEnabled());
        for (int tick = 0; tick < 3 && timerWrite.isEnabled(); ++tick)
            cycle.Timer_Write_Timer();

        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0].ok, c.ok);
        // The audit trail keeps the write once, as asked over MQTT.
        ASSERT_EQ(audit.writes.size(), 1u);
        EXPECT_EQ(audit.writes[0].origin, WriteOrigin::Mqtt);
        EXPECT_EQ(audit.writes[0].slot, RemoteSlot);
        EXPECT_EQ(audit.writes[0].controllerId, RemoteId);
        EXPECT_EQ(audit.writes[0].textSent, QString::fromUtf8(c.text));
        EXPECT_EQ(audit.writes[0].value, c.value);
        EXPECT_EQ(results[0].value, QString::fromUtf8(c.shown));
        EXPECT_EQ(results[0].reason, QString::fromUtf8(c.reason));
        ASSERT_GE(port.outputs.size(), 1);
        EXPECT_EQ(port.outputs[0], test::writeRequest(RemoteId, c.address, c.value));
        if (c.readBack) {
            ASSERT_EQ(port.outputs.size(), 2);
            EXPECT_EQ(port.outputs[1], test::readRequest(RemoteId, c.address, 1));
            EXPECT_EQ(line.entries.back().exchange, Exchange::ReadOne);
            EXPECT_EQ(line.entries.back().slot, RemoteSlot);
        } else {
            EXPECT_EQ(port.outputs.size(), 1);
        }
        // The line is given back to live polling; the window saw nothing of it.
        EXPECT_FALSE(timerWrite.isEnabled());
        EXPECT_TRUE(timerRead.isEnabled());
        EXPECT_EQ(console.line.Read_State(), ReadState::Select);
        EXPECT_EQ(console.line.Para_Slot(), Slot);
        EXPECT_EQ(panel2(), QStringLiteral("untouched"));
    }
}

TEST_F(RemoteWriteTest, AWriteOfDpGivesTheSlotItsNewDecimalPlaces)
{
    port.onOutput = [&](const QByteArray &request) {
        port.received = request[1] == 6 ? request : test::blockReply(RemoteId, 45, 1, {{45, 49}});
    };
    ASSERT_EQ(start(45, QStringLiteral("00.00")), WriteCycle::Start::Started);
    cycle.Timer_Write_Timer();
    cycle.Timer_Write_Timer();
    cycle.Timer_Write_Timer();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].value, "00.00");
    EXPECT_EQ(console.slots.Slot_DP_Code[RemoteSlot], 49);
    EXPECT_EQ(console.slots.Slot_DP_Code[Slot], 48);
}

TEST_F(RemoteWriteTest, WhatCannotBeSentIsRefusedAndABusyLineIsLeftAlone)
{
    struct Case {
        const char *what;
        std::function<void()> prepare;
        int slot;
        int address;
        const char *text;
        WriteCycle::Start start;
        const char *reason;   // heard by `done` when refused
    };
    const Case cases[] = {
        {"SV beyond 16 bits", [] {}, RemoteSlot, 0, "7000", WriteCycle::Start::Refused, "Value out of range !"},
        {"RUN that is no item", [] {}, RemoteSlot, 15, "FAST", WriteCycle::Start::Refused, "Nothing selected !"},
        {"a slot without a controller", [] {}, 11, 0, "1", WriteCycle::Start::Refused, "No controller !"},
        {"the window's write runs", [&] { ASSERT_EQ(cycle.startSingleWrite(0), WriteCycle::Start::Started); },
         RemoteSlot, 0, "1", WriteCycle::Start::Busy, ""},
        {"a read of all parameters waits", [&] { console.line.readAllParametersNext(); }, RemoteSlot, 0, "1",
         WriteCycle::Start::Busy, ""},
        {"polling is stopped (a scan)", [&] { timerRead.setEnabled(false); }, RemoteSlot, 0, "1",
         WriteCycle::Start::Busy, ""},
        {"the port is closed", [&] { port.setPortOpen(false); }, RemoteSlot, 0, "1", WriteCycle::Start::Busy, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        results.clear();
        timerWrite.setEnabled(false);
        timerRead.setEnabled(true);
        if (!port.PortOpen())
            port.setPortOpen(true);
        console.line.awaitLiveReply();
        c.prepare();
        port.outputs.clear();
        const bool readWasEnabled = timerRead.isEnabled();
        const bool writeWasEnabled = timerWrite.isEnabled();
        EXPECT_EQ(cycle.startRemoteWrite(WriteOrigin::Mqtt, c.slot, c.address, QString::fromUtf8(c.text),
                                         [&](const RemoteWriteResult &r) { results.push_back(r); }),
                  c.start);
        EXPECT_TRUE(port.outputs.isEmpty());
        EXPECT_EQ(timerRead.isEnabled(), readWasEnabled);
        EXPECT_EQ(timerWrite.isEnabled(), writeWasEnabled);
        if (c.start == WriteCycle::Start::Refused) {
            ASSERT_EQ(results.size(), 1u);
            EXPECT_FALSE(results[0].ok);
            EXPECT_EQ(results[0].reason, QString::fromUtf8(c.reason));
        } else {
            EXPECT_TRUE(results.empty());
        }
    }
}

TEST_F(RemoteWriteTest, TheWindowClosingDoesNotCutAWriteItDidNotStart)
{
    port.onOutput = [&](const QByteArray &request) { port.received = request; };
    ASSERT_EQ(start(0, QStringLiteral("20")), WriteCycle::Start::Started);
    cycle.Timer_Write_Timer();   // sent
    cycle.stopAndResumePolling();
    EXPECT_TRUE(timerWrite.isEnabled());
    cycle.Timer_Write_Timer();   // echo judged, read back sent
    cycle.Timer_Write_Timer();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].ok);
}

} // namespace
