// The gateway's command line, and its log: one line per change of the port
// and of each controller, never one per poll.

#include "gateway_log.h"
#include "gateway_options.h"

#include "core/line_counters.h"
#include "state/console.h"
#include "support/fake_serial_port.h"
#include "support/fakes.h"
#include "support/replies.h"

#include <QRegularExpression>
#include <QTemporaryFile>
#include <gtest/gtest.h>

using namespace orbalis;

namespace {

QString slotsText(const std::array<bool, SlotCount> &slots)
{
    QString out;
    for (bool on : slots)
        out += on ? u'x' : u'.';
    return out;
}

TEST(GatewayOptions, TheCommandLineIsReadOrRefusedWithItsReason)
{
    const struct {
        QStringList args;
        const char *programDir;
        const char *recorded;   // nullptr: refused
        const char *error;
    } cases[] = {
        {{}, "", "................", ""},
        {{"--program-dir", "/var/lib/orbalis/line1"}, "/var/lib/orbalis/line1", "................", ""},
        {{"--program-dir=/x", "--record", "all"}, "/x", "xxxxxxxxxxxxxxxx", ""},
        {{"--record=1,3,5-8"}, "", "x.x.xxxx........", ""},
        {{"--record", "16"}, "", "...............x", ""},
        {{"--record", "none"}, "", "................", ""},
        {{"--record", "0"}, "", nullptr, "--record takes all, none or slots 1..16 like 1,3,5-8, not '0'"},
        {{"--record", "3-1"}, "", nullptr, "--record takes all, none or slots 1..16 like 1,3,5-8, not '3-1'"},
        {{"--record", "1-2-3"}, "", nullptr, "--record takes all, none or slots 1..16 like 1,3,5-8, not '1-2-3'"},
        {{"--record", "1,,2"}, "", nullptr, "--record takes all, none or slots 1..16 like 1,3,5-8, not '1,,2'"},
        {{"--record"}, "", nullptr, "--record takes all, none or slots 1..16 like 1,3,5-8, not ''"},
        {{"--program-dir"}, "", nullptr, "--program-dir needs a folder"},
        {{"--verbose"}, "", nullptr, "unknown argument '--verbose'"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const ParsedGatewayOptions parsed = parseGatewayOptions(QStringList{QStringLiteral("orbalis-gateway")} + c.args);
        ASSERT_EQ(parsed.options.has_value(), c.recorded != nullptr) << parsed.error.toStdString();
        EXPECT_EQ(parsed.error, QString::fromUtf8(c.error));
        if (parsed.options) {
            EXPECT_EQ(parsed.options->programDir, QString::fromUtf8(c.programDir));
            EXPECT_EQ(slotsText(parsed.options->record), QString::fromLatin1(c.recorded));
        }
    }
    EXPECT_TRUE(parseGatewayOptions({QStringLiteral("orbalis-gateway"), QStringLiteral("--help")}).options->help);
}

TEST(GatewayLog, OneLinePerChangeOfThePortAndOfEachController)
{
    Console console;
    console.settings.serial.Port = QStringLiteral("COM1");
    console.slots.SlotId[0] = 1;
    console.slots.SlotId[2] = 7;
    console.settings.panel.NameText[0] = QStringLiteral("Oven1");
    console.settings.panel.NameText[2] = QStringLiteral("---");
    test::FakeSerialPort port;
    port.bound = {QStringLiteral("/dev/ttyUSB0"), false};
    test::FakeTimer timerRead, timerWrite;
    console.line.attach(&port, &timerRead, &timerWrite);
    SteadyTime now{std::chrono::seconds(100)};
    LineCounters counters(nullptr, [&] { return now; });
    QStringList lines;
    LineStateLog log(console, counters, [&](const QString &l) { lines << l; });
    const auto poll = [&](std::uint8_t id, bool answered) {
        now += std::chrono::milliseconds(100);
        counters.requestSent(Exchange::Live, 0, id, test::liveRequest(id));
        counters.replyJudged(Exchange::Live, 0, id, {}, answered ? LineOutcome::Good : LineOutcome::NoAnswer);
        log.look();
    };

    const struct {
        const char *what;
        std::function<void()> happen;
        QStringList said;
    } steps[] = {
        {"the port is not there yet", [&] { log.look(); }, {"port COM1 not open; waiting for it"}},
        {"it opens, the controllers answer (and answer again)",
         [&] {
             port.setPortOpen(true);
             for (int i = 0; i < 10; ++i) {
                 poll(1, true);
                 poll(7, true);
             }
         },
         {"port COM1 opened: /dev/ttyUSB0", "controller 1 (slot 1, Oven1) answering", "controller 7 (slot 3) answering"}},
        {"controller 7 stops answering",
         [&] {
             for (int i = 0; i < 10; ++i) {
                 poll(1, true);
                 poll(7, false);
             }
         },
         {"controller 7 (slot 3) silent: no reply"}},
        {"the port goes: no line per controller",
         [&] {
             port.setPortOpen(false);
             log.look();
             log.look();
         },
         {"port COM1 lost: /dev/ttyUSB0; opened again when it is back"}},
        {"it comes back",
         [&] {
             port.setPortOpen(true);
             poll(1, true);
             poll(7, true);
         },
         {"port COM1 back: /dev/ttyUSB0", "controller 1 (slot 1, Oven1) answering",
          "controller 7 (slot 3) answering"}},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.what);
        lines.clear();
        step.happen();
        EXPECT_EQ(lines, step.said);
    }
}

TEST(GatewayLog, LinesAreWholeAndStampedUnlessTheJournalStampsThem)
{
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    std::FILE *out = std::fopen(file.fileName().toLocal8Bit().constData(), "w");
    ASSERT_NE(out, nullptr);
    LogWriter(out, true).write(QStringLiteral("port COM1 opened"));
    LogWriter(out, false).write(QStringLiteral("stopped"));
    std::fclose(out);
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d port COM1 opened$"))
                    .match(lines[0])
                    .hasMatch())
        << lines[0].toStdString();
    EXPECT_EQ(lines[1], "stopped");
}

} // namespace
