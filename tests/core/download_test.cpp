// Downloads and compares driven tick by tick against fake controllers: the
// backup before, the writes, the read after, what each controller is told,
// and what the write observers (the audit trail) hear.

#include "core/write_cycle.h"

#include "core/parameter_backup.h"
#include "core/parameter_file.h"
#include "model/register_addresses.h"
#include "support/fake_controller.h"
#include "support/fake_parameter_window.h"
#include "support/fake_serial_port.h"
#include "support/fakes.h"
#include "support/replies.h"
#include "support/spies.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

// Texts read as texts in failure messages.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

using namespace orbalis;

namespace {

constexpr int Slot = 2;
constexpr int Id = 7;
constexpr int OtherSlot = 4;
constexpr int OtherId = 8;
constexpr int ThirdSlot = 9;
constexpr int ThirdId = 12;

struct FakeDownloadWindow : DownloadView, CompareView {
    std::vector<int> progress;
    std::vector<DownloadResult> results;
    QList<bool> ended;
    std::optional<ControllerParameters> compared;
    QStringList compareFailures;
    void setProgress(int v) override { progress.push_back(v); }
    void controllerDone(const DownloadResult &r) override { results.push_back(r); }
    void downloadEnded(bool completed) override { ended << completed; }
    void compareRead(const std::optional<ControllerParameters> &c, const QString &failure) override
    {
        compared = c;
        compareFailures << failure;
    }
};

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        console.programDir = dir.path();
        console.clock = &clock;
        console.settings.serial = {QStringLiteral("COM1"), QStringLiteral("19200"), QStringLiteral("2"),
                                   QStringLiteral("8"), QStringLiteral("None")};
        for (auto [slot, id] : {std::pair{Slot, Id}, {OtherSlot, OtherId}, {ThirdSlot, ThirdId}}) {
            console.slots.SlotId[size_t(slot)] = std::uint8_t(id);
            console.slots.Slot_DP_Code[size_t(slot)] = 47;
            controllers.add(id);
        }
        console.line.showParametersOf(Slot);
        console.line.attach(&port, &timerRead, &timerWrite);
        console.parameterWindow = &window;
        console.lineObservers.add(&line);
        cycle.addWriteObserver(&audit);
        port.setPortOpen(true);
        timerRead.setEnabled(true);
        controllers.serve(port);
    }

    // The texts controller `id` shows as it stands.
    QStringList textsOf(int id)
    {
        return ControllerParameters::fromReply(test::readAllReply(id, registersOf(id))).texts();
    }
    std::map<int, std::uint16_t> registersOf(int id)
    {
        std::map<int, std::uint16_t> m;
        for (int a = 0; a < HoldingRegisterCount; ++a)
            m[a] = controllers.controllers[id].registers[size_t(a)];
        return m;
    }

    DownloadPlan plan(WriteOrigin origin, QStringList texts, DownloadPlan::Writes writes,
                      std::vector<DownloadTarget> targets, std::vector<int> listed = {})
    {
        DownloadPlan p;
        p.origin = origin;
        p.texts = std::move(texts);
        p.writes = writes;
        p.listed = std::move(listed);
        p.targets = std::move(targets);
        return p;
    }

    // Ticks until the cycle stops; the number of ticks.
    int run()
    {
        int ticks = 0;
        while (timerWrite.isEnabled() && ticks < 2000) {
            cycle.Timer_Write_Timer();
            ++ticks;
        }
        return ticks;
    }

    QString panel2() const { return window.panels.text(2); }
    QStringList backups() const { return QDir(backupFolder(dir.path())).entryList(QDir::Files); }

    QTemporaryDir dir;
    test::FixedClock clock{QDateTime(QDate(2024, 5, 1), QTime(12, 0, 0))};
    Console console;
    test::FakeSerialPort port;
    test::FakeTimer timerRead{100};
    test::FakeTimer timerWrite{100};
    test::FakeParameterWindow window;
    test::FakeReporter reporter;
    test::LineSpy line;
    test::FakeControllers controllers;
    FakeDownloadWindow view;
    test::WriteLog audit;
    WriteCycle cycle{console, reporter};
};

TEST_F(DownloadTest, AFileIsBackedUpWrittenInOrderAndVerified)
{
    // The file: what controller 7 holds, with SV and HILT changed.
    QStringList file = textsOf(Id);
    file[reg::SV] = QStringLiteral("25.5");
    file[reg::HILT] = QStringLiteral("300.0");
    const auto order = writeAllOrder();

    struct Case {
        const char *what;
        std::function<void()> prepare;
        const char *summary;
        int requests;   // on the line: backup read, writes, verify read
        bool backedUp;
    };
    auto &c7 = controllers.controllers[Id];
    const Case cases[] = {
        {"every write accepted", [] {}, "Written 106 of 106, verified 106", 108, true},
        {"DP refused, HILT kept otherwise",
         [&] {
             c7.refused = {reg::DP};
             c7.altered = {reg::HILT};
         },
         "Written 105 of 106, verified 104; not accepted: DP; differ after writing: HILT", 108, true},
        {"the read after writing unanswered",
         [&] { port.onOutput = [&](const QByteArray &r) {
                   port.received = r[1] == 3 && !c7.writes.isEmpty() ? QByteArray() : controllers.answer(r);
               }; },
         "Written 106 of 106, not verified (No Answer !)", 108, true},
        {"the backup read unanswered", [&] { c7.silent = true; },
         "Nothing was written: the backup read failed (No Answer !)", 1, false},
        {"the backup read answered by another controller",
         [&] { port.onOutput = [&](const QByteArray &r) { port.received = controllers.answer(r); port.received[0] = char(OtherId); port.received = withCrc(port.received.chopped(2)); }; },
         "Nothing was written: the backup read failed (Wrong Reply !)", 1, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        controllers.add(Id);
        controllers.serve(port);
        c.prepare();
        QDir(backupFolder(dir.path())).removeRecursively();
        const QStringList before = textsOf(Id);
        port.outputs.clear();
        view = FakeDownloadWindow();
        audit.writes.clear();
        window.sink.writes = 0;
        timerRead.setEnabled(true);
        console.line.awaitLiveReply();

        ASSERT_TRUE(cycle.startDownload(plan(WriteOrigin::File, file, DownloadPlan::Writes::All, {{Slot, Id}}), view));
        EXPECT_FALSE(timerRead.isEnabled());
        EXPECT_TRUE(cycle.downloading());
        cycle.Timer_Write_Timer();
        EXPECT_EQ(panel2(), "Read All Parameters for Backup Please Wait ... ");
        EXPECT_EQ(timerWrite.interval(), 400);   // the wait of a read of all parameters
        run();

        ASSERT_EQ(port.outputs.size(), c.requests);
        EXPECT_EQ(port.outputs.first(), test::readRequest(Id, 0, 109));
        ASSERT_EQ(view.results.size(), 1u);
        EXPECT_EQ(downloadSummaryText(view.results[0]), QString::fromLatin1(c.summary));
        EXPECT_EQ(view.ended, QList<bool>{true});
        // Live polling again, and nothing left running.
        EXPECT_FALSE(timerWrite.isEnabled());
        EXPECT_TRUE(timerRead.isEnabled());
        EXPECT_EQ(console.line.Read_State(), ReadState::Select);
        EXPECT_FALSE(cycle.downloading());
        if (!c.backedUp) {
            EXPECT_TRUE(backups().isEmpty());
            EXPECT_TRUE(audit.writes.empty());
            EXPECT_TRUE(panel2().endsWith(" Nothing was written.")) << panel2().toStdString();
            continue;
        }
        // The backup is a parameter file of what the controller held before.
        EXPECT_EQ(backups(), QStringList{"240501-120000 7.par"});
        EXPECT_EQ(view.results[0].backupPath, backupFolder(dir.path()) + "/240501-120000 7.par");
        EXPECT_EQ(parseParameterFile(fileBytes(view.results[0].backupPath)), before);
        // The writes in the write-all order, encoded with the controller's
        // decimal point as the backup read found it (one decimal).
        for (int i = 0; i < 106; ++i)
            EXPECT_EQ(test::requestAddress(port.outputs[i + 1]), order[size_t(i)]) << i;
        EXPECT_TRUE(port.outputs.contains(test::writeRequest(Id, reg::SV, 255)));
        EXPECT_EQ(port.outputs.last(), test::readRequest(Id, 0, 109));
        EXPECT_EQ(view.progress.front(), 0);
        EXPECT_EQ(view.progress.back(), reg::RUN);
        // One audit row per write, each with what was sent and how it went.
        ASSERT_EQ(audit.writes.size(), 106u);
        for (size_t i = 0; i < audit.writes.size(); ++i) {
            const ParameterWrite &w = audit.writes[i];
            EXPECT_EQ(w.address, order[i]);
            EXPECT_EQ(w.controllerId, Id);
            EXPECT_EQ(w.origin, WriteOrigin::File);
            EXPECT_EQ(w.textSent, file[order[i]]);
            EXPECT_EQ(w.value, test::requestValue(port.outputs[qsizetype(i) + 1]));
            EXPECT_EQ(w.outcome, order[i] == reg::DP && !c7.refused.empty() ? LineOutcome::ExceptionReply
                                                                             : LineOutcome::Good);
            EXPECT_EQ(w.at, clock.now().toUTC());
        }
        // The window's controller: the read after writing fills the window,
        // and the end text follows its outcome.
        if (view.results[0].verified) {
            EXPECT_EQ(window.sink.writes, 109);
            EXPECT_EQ(panel2(), "Read All Parameters Please Wait ... Check CRC Ok ! " + QString::fromLatin1(c.summary));
        } else {
            EXPECT_EQ(window.sink.writes, 0);
            EXPECT_EQ(panel2(), "Read All Parameters Please Wait ... No Answer ! " + QString::fromLatin1(c.summary));
        }
    }
    EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join('\n').toStdString();
}

TEST_F(DownloadTest, WriteDifferencesSendsOnlyTheListedInTheWriteAllOrder)
{
    QStringList file = textsOf(Id);
    file[reg::RUN] = QStringLiteral("OFF");   // already: no change
    file[reg::A1SP] = QStringLiteral("9.9");
    file[reg::RUN] = QStringLiteral("HOLD");
    file[reg::HYSM] = QStringLiteral("0.1");
    ASSERT_TRUE(cycle.startDownload(plan(WriteOrigin::Restore, file, DownloadPlan::Writes::Listed, {{Slot, Id}},
                                         {reg::RUN, reg::HYSM, reg::A1SP}),
                                    view));
    run();
    ASSERT_EQ(port.outputs.size(), 5);
    EXPECT_EQ(port.outputs[0], test::readRequest(Id, 0, 109));
    EXPECT_EQ(port.outputs[1], test::writeRequest(Id, reg::A1SP, 99));
    EXPECT_EQ(port.outputs[2], test::writeRequest(Id, reg::HYSM, 1));
    EXPECT_EQ(port.outputs[3], test::writeRequest(Id, reg::RUN, 23));
    EXPECT_EQ(port.outputs[4], test::readRequest(Id, 0, 109));
    ASSERT_EQ(view.results.size(), 1u);
    EXPECT_EQ(downloadSummaryText(view.results[0]), "Written 3 of 3, verified 3");
    ASSERT_EQ(audit.writes.size(), 3u);
    for (const ParameterWrite &w : audit.writes)
        EXPECT_EQ(w.origin, WriteOrigin::Restore);
}

TEST_F(DownloadTest, ACopyWritesWhatDiffersIntoEachControllerInTurn)
{
    // The window shows controller 7 with three changes; controller 8 holds
    // what 7 holds apart from its ID, controller 12 does not answer.
    QStringList shown = textsOf(Id);
    shown[reg::SV] = QStringLiteral("42.0");
    shown[reg::BAUD] = QStringLiteral("9600");   // never copied
    shown[reg::ID] = QStringLiteral("7");        // never copied
    shown[reg::OUTL] = QStringLiteral("50.0");   // never written by a download
    shown[31] = QStringLiteral("2.5");   // TD3
    controllers.controllers[ThirdId].silent = true;
    window.sink.writes = 0;

    ASSERT_TRUE(cycle.startDownload(plan(WriteOrigin::Copy, shown, DownloadPlan::Writes::Differences,
                                         {{OtherSlot, OtherId}, {ThirdSlot, ThirdId}}),
                                    view));
    cycle.Timer_Write_Timer();
    EXPECT_EQ(panel2(), "Copy to ID 8: Read All Parameters for Backup Please Wait ... ");
    run();

    const QList<QByteArray> expected{test::readRequest(OtherId, 0, 109), test::writeRequest(OtherId, reg::SV, 420),
                                     test::writeRequest(OtherId, 31, 25), test::readRequest(OtherId, 0, 109),
                                     test::readRequest(ThirdId, 0, 109)};
    EXPECT_EQ(port.outputs, expected);
    ASSERT_EQ(view.results.size(), 2u);
    EXPECT_EQ(view.results[0].slot, OtherSlot);
    EXPECT_EQ(downloadSummaryText(view.results[0]), "Written 2 of 2, verified 2");
    EXPECT_EQ(view.results[1].slot, ThirdSlot);
    EXPECT_EQ(downloadSummaryText(view.results[1]), "Nothing was written: the backup read failed (No Answer !)");
    EXPECT_EQ(view.ended, QList<bool>{true});
    EXPECT_EQ(backups(), QStringList{"240501-120000 8.par"});
    // The window shows controller 7: the copy's reads never reach it.
    EXPECT_EQ(window.sink.writes, 0);
    EXPECT_EQ(panel2(), "Copy to ID 12: Read All Parameters for Backup Please Wait ... No Answer ! Nothing was written.");
    ASSERT_EQ(audit.writes.size(), 2u);
    EXPECT_EQ(audit.writes[0].origin, WriteOrigin::Copy);
    EXPECT_EQ(audit.writes[0].controllerId, OtherId);
    EXPECT_EQ(audit.writes[0].slot, OtherSlot);
    EXPECT_EQ(audit.writes[0].textSent, "42.0");
    // The decimal point of the copied-to slot follows its controller's read.
    EXPECT_EQ(console.slots.Slot_DP_Code[OtherSlot], 48);

    // Copied again: nothing differs any more, nothing is written.
    view = FakeDownloadWindow();
    port.outputs.clear();
    ASSERT_TRUE(cycle.startDownload(
        plan(WriteOrigin::Copy, shown, DownloadPlan::Writes::Differences, {{OtherSlot, OtherId}}), view));
    run();
    EXPECT_EQ(port.outputs, QList<QByteArray>{test::readRequest(OtherId, 0, 109)});
    ASSERT_EQ(view.results.size(), 1u);
    EXPECT_EQ(downloadSummaryText(view.results[0]), "Nothing differs: nothing written");
}

TEST_F(DownloadTest, ABackupThatCannotBeSavedStopsTheDownloadBeforeItsFirstWrite)
{
    // A file where the folder would go.
    QFile blocker(backupFolder(dir.path()));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ASSERT_TRUE(cycle.startDownload(plan(WriteOrigin::File, textsOf(Id), DownloadPlan::Writes::All, {{Slot, Id}}), view));
    run();
    EXPECT_EQ(port.outputs, QList<QByteArray>{test::readRequest(Id, 0, 109)});
    ASSERT_EQ(view.results.size(), 1u);
    EXPECT_FALSE(view.results[0].backupTaken());
    EXPECT_TRUE(downloadSummaryText(view.results[0]).startsWith("Nothing was written: the backup "));
    EXPECT_TRUE(panel2().startsWith("Read All Parameters for Backup Please Wait ... Check CRC Ok ! Nothing was written:"));
    // Told as a record file that cannot be written is told.
    EXPECT_EQ(reporter.beeps, 3);
    ASSERT_EQ(reporter.messages.size(), 1);
    EXPECT_EQ(reporter.titles.first(), "Attention! Wrong");
    EXPECT_TRUE(reporter.messages.first().startsWith("Your backup file " + backupFolder(dir.path())
                                                     + "/240501-120000 7.par could not be written: "))
        << reporter.messages.first().toStdString();
    EXPECT_TRUE(reporter.messages.first().endsWith("\r\nNothing was written to controller 7"));
    EXPECT_TRUE(timerRead.isEnabled());
    EXPECT_TRUE(controllers.controllers[Id].writes.isEmpty());
}

TEST_F(DownloadTest, AClosedPortOrAClosedWindowCutsTheDownloadShort)
{
    struct Case {
        const char *what;
        std::function<void()> stop;
        bool pollingResumes;
    };
    const Case cases[] = {
        {"the port closes", [&] { port.setPortOpen(false); cycle.Timer_Write_Timer(); }, false},
        {"the window closes", [&] { cycle.stopAndResumePolling(); }, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (!port.PortOpen())
            port.setPortOpen(true);
        view = FakeDownloadWindow();
        audit.writes.clear();
        timerRead.setEnabled(false);
        ASSERT_TRUE(
            cycle.startDownload(plan(WriteOrigin::File, textsOf(Id), DownloadPlan::Writes::All, {{Slot, Id}}), view));
        for (int i = 0; i < 3; ++i)   // backup read sent and judged, two writes sent, one judged
            cycle.Timer_Write_Timer();
        c.stop();
        EXPECT_FALSE(timerWrite.isEnabled());
        EXPECT_EQ(timerRead.isEnabled(), c.pollingResumes);
        EXPECT_FALSE(cycle.running());
        EXPECT_FALSE(cycle.downloading());
        ASSERT_EQ(audit.writes.size(), 2u);
        EXPECT_TRUE(audit.writes[0].judged);
        EXPECT_FALSE(audit.writes[1].judged);   // sent, its answer never judged
        if (c.pollingResumes) {
            // The window that asked is going: it is told nothing.
            EXPECT_TRUE(view.ended.isEmpty());
            continue;
        }
        EXPECT_EQ(view.ended, QList<bool>{false});
        ASSERT_EQ(view.results.size(), 1u);
        EXPECT_EQ(downloadSummaryText(view.results[0]), "Stopped after 1 of 106 written");
        EXPECT_EQ(panel2(), "Serial port is not open !");
    }
}

TEST_F(DownloadTest, ACompareReadsTheControllerIntoTheWindowAndWritesNothing)
{
    controllers.controllers[Id].registers[reg::SV] = 1234;
    timerRead.setEnabled(true);
    ASSERT_TRUE(cycle.startCompareRead(view));
    EXPECT_FALSE(timerRead.isEnabled());
    // A second start while it runs is refused with a beep.
    EXPECT_FALSE(cycle.startDownload(plan(WriteOrigin::File, textsOf(Id), DownloadPlan::Writes::All, {{Slot, Id}}), view));
    EXPECT_EQ(reporter.beeps, 1);
    run();
    EXPECT_EQ(port.outputs, QList<QByteArray>{test::readRequest(Id, 0, 109)});
    ASSERT_TRUE(view.compared.has_value());
    EXPECT_EQ(view.compared->value(reg::SV), 1234);
    EXPECT_EQ(view.compared->text(reg::SV), "123.4");
    EXPECT_EQ(window.sink.texts.value(reg::SV), "123.4");
    EXPECT_EQ(panel2(), "Read All Parameters Please Wait ... Check CRC Ok !");
    EXPECT_TRUE(timerRead.isEnabled());
    EXPECT_EQ(console.line.Read_State(), ReadState::Select);
    EXPECT_TRUE(audit.writes.empty());
    EXPECT_TRUE(backups().isEmpty());

    controllers.controllers[Id].silent = true;
    view = FakeDownloadWindow();
    ASSERT_TRUE(cycle.startCompareRead(view));
    run();
    EXPECT_FALSE(view.compared.has_value());
    EXPECT_EQ(view.compareFailures, QStringList{"No Answer !"});
    EXPECT_EQ(panel2(), "Read All Parameters Please Wait ... No Answer !");
}

TEST_F(DownloadTest, EverySingleWriteIsToldOnceWithItsOutcome)
{
    struct Case {
        const char *what;
        std::function<QByteArray(const QByteArray &)> reply;
        const char *outcome;
        const char *reason;
    };
    const Case cases[] = {
        {"echo", [](const QByteArray &r) { return r; }, "accepted", ""},
        {"refusal", [](const QByteArray &) { return test::exceptionReply(Id, 6, 3); }, "refused",
         "code 3 (illegal data value)"},
        {"silence", [](const QByteArray &) { return QByteArray(); }, "no answer", ""},
        {"broken CRC", [](const QByteArray &r) { return r.left(7) + char(r[7] ^ 1); }, "CRC error", ""},
        {"another value echoed", [](const QByteArray &) { return test::writeRequest(Id, 0, 11); }, "wrong reply", ""},
    };
    window.sink.texts[0] = QStringLiteral(" 1.0 ");
    console.slots.Slot_DP_Code[Slot] = 48;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        audit.writes.clear();
        port.onOutput = [&](const QByteArray &request) { port.received = c.reply(request); };
        ASSERT_EQ(cycle.startSingleWrite(0, WriteOrigin::Mqtt), WriteCycle::Start::Started);
        cycle.Timer_Write_Timer();
        cycle.Timer_Write_Timer();
        ASSERT_EQ(audit.writes.size(), 1u);
        const ParameterWrite &w = audit.writes[0];
        EXPECT_EQ(w.slot, Slot);
        EXPECT_EQ(w.controllerId, Id);
        EXPECT_EQ(w.address, 0);
        EXPECT_EQ(w.textSent, "1.0");
        EXPECT_EQ(w.value, 10);
        EXPECT_EQ(w.origin, WriteOrigin::Mqtt);
        EXPECT_EQ(writeOutcomeText(w), QString::fromLatin1(c.outcome));
        EXPECT_EQ(writeRefusalReason(w), QString::fromLatin1(c.reason));
    }
    // A refused value and a live box send nothing, and nothing is told.
    audit.writes.clear();
    window.sink.texts[0] = QStringLiteral("7000");
    EXPECT_EQ(cycle.startSingleWrite(0), WriteCycle::Start::Refused);
    ASSERT_EQ(cycle.startSingleWrite(4096), WriteCycle::Start::Started);
    cycle.Timer_Write_Timer();
    EXPECT_TRUE(audit.writes.empty());
}

} // namespace
