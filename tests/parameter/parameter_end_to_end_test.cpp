// The console in-process against orbalis-sim over a real pseudo-terminal,
// the parameter window opened from a slot's menu button as the user does.
// The simulator's traffic log is the witness of what went over the line.

#include "alarms/console_alarms.h"
#include "alarms/parameter_write_journal.h"
#include "console/main_window.h"
#include "console/slot_panel.h"
#include "console/slot_picture.h"
#include "core/line_counters.h"
#include "health/line_health.h"
#include "link/qt_serial_port.h"
#include "model/display.h"
#include "model/register_map.h"
#include "core/parameter_file.h"
#include "parameter/compare_window.h"
#include "parameter/copy_window.h"
#include "parameter/parameter_controls.h"
#include "parameter/parameter_layout.h"
#include "parameter/parameter_window.h"
#include "parameter_test_support.h"
#include "settings/settings_store.h"
#include "journal/journal_test_support.h"
#include "support/fakes.h"
#include "support/qt_app.h"
#include "support/replies.h"
#include "support/console_over_simulator.h"
#include "support/simulator.h"
#include "support/spies.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace orbalis;

namespace {

constexpr int ReplyTimeoutMs = 10000;

using Frame = test::LoggedFrame;

class ParameterEndToEndTest : public test::ConsoleOverSimulator {
protected:
    void SetUp() override
    {
        ConsoleOverSimulator::SetUp();
        console.lineObservers.add(&witness);
    }

    void TearDown() override
    {
        sampler.stop();
        ConsoleOverSimulator::TearDown();
    }

    // Slot 0 bound to controller 1 (simulated), slot 1 to controller 2 (absent).
    void start()
    {
        SettingsModel model = lineSettings();
        model.panel.IdText[0] = QStringLiteral("001");
        model.panel.IdText[1] = QStringLiteral("002");
        saveSettings(model);
        ASSERT_NO_FATAL_FAILURE(startSimulator(QStringLiteral("1")));
        ASSERT_NO_FATAL_FAILURE(openConsole());
        ASSERT_NO_FATAL_FAILURE(showConsole());
    }

    // Slot 0 bound to controller 1, slot 1 to controller 2, both simulated
    // with the further options.
    void startTwo(const QStringList &options)
    {
        SettingsModel model = lineSettings();
        model.panel.IdText[0] = QStringLiteral("001");
        model.panel.IdText[1] = QStringLiteral("002");
        model.panel.NameText[1] = QStringLiteral("Oven2");
        saveSettings(model);
        ASSERT_NO_FATAL_FAILURE(startSimulator(QStringLiteral("1-2"), options));
        ASSERT_NO_FATAL_FAILURE(openConsole());
        ASSERT_NO_FATAL_FAILURE(showConsole());
    }

    // The requests the console sent since the log's frame `mark`, from the
    // first read of all parameters of `id` on (a live read may have been on
    // its way when the line was taken).
    QList<QByteArray> downloadSince(qsizetype mark, int id) const
    {
        QList<QByteArray> sent = requestsSince(mark);
        while (!sent.isEmpty() && sent.first() != test::readRequest(id, 0, 109))
            sent.removeFirst();
        QList<QByteArray> out;
        for (const QByteArray &r : sent)
            if (quint8(r[0]) == id && r[1] != 4)
                out << r;
        return out;
    }

    QStringList backups() const
    {
        return QDir(dir.filePath(QStringLiteral("Backups"))).entryList(QDir::Files, QDir::Name);
    }

    // A left click on the slot's menu button, then the read-all it starts.
    void openFor(int slot, const char *readAllOutcome = "Check CRC Ok !")
    {
        const qsizetype from = panelSeen.size();
        const qsizetype began = witness.entries.size();
        SlotPicture &p = *window->Pic_All().Pic_Control(slot);
        QTest::mouseClick(&p, Qt::LeftButton, {}, QPoint(45 * p.width() / 60, 5 * p.height() / 70));
        parameter = window->parameterWindow();
        ASSERT_NE(parameter, nullptr);
        ASSERT_TRUE(parameter->isVisible());
        ASSERT_EQ(parameter->slot(), slot);
        parameter->setFileDialogs(dialogs);
        if (!sampler.isActive()) {
            QObject::connect(&sampler, &QTimer::timeout, [this] {
                const QString seen = panel2();
                if (panelSeen.isEmpty() || panelSeen.last() != seen)
                    panelSeen << seen;
            });
            sampler.start(5);
        }
        const QString outcome = QString::fromLatin1(readAllOutcome);
        if (outcome == QLatin1String("Check CRC Ok !")) {
            ASSERT_TRUE(readAllUntilGood(began));
        }
        ASSERT_TRUE(waitForPanel2(QStringLiteral("Read All Parameters Please Wait ... ") + outcome, from));
    }

    // Waits for the read-all asked for since witness entry `began`; while it
    // is not judged good (a reply can miss its wait on a loaded machine),
    // "Read All Parameters" is pressed again, as a user would.
    bool readAllUntilGood(qsizetype began, int attempts = 3)
    {
        for (int attempt = 0; attempt < attempts; ++attempt) {
            qsizetype judged = -1;
            if (!QTest::qWaitFor([&] { return (judged = witness.find(began, false, {Exchange::ReadAll})) >= 0; },
                                 ReplyTimeoutMs))
                return false;
            if (witness.entries[judged].outcome == LineOutcome::Good)
                return true;
            began = witness.entries.size();
            QTest::mouseClick(parameter->Command_None(0), Qt::LeftButton);
        }
        return false;
    }

    QString panel2() const { return parameter ? parameter->status().text(2) : QString(); }
    ParameterControls &arrays() const { return parameter->arrays(); }

    // Waits until panel 2 reads `text` after having read something else since
    // the sampler's entry `from` (so that an old text does not count).
    bool waitForPanel2(const QString &text, qsizetype from = -1, int timeoutMs = ReplyTimeoutMs)
    {
        const bool ok = QTest::qWaitFor(
            [&] {
                if (panel2() != text)
                    return false;
                for (qsizetype i = std::max<qsizetype>(from, 0); from >= 0 && i < panelSeen.size(); ++i)
                    if (panelSeen[i] != text)
                        return true;
                return from < 0;
            },
            timeoutMs);
        if (!ok)
            ADD_FAILURE() << "panel 2 never read \"" << text.toStdString() << "\"; it went, last:\n"
                          << panelSeen.mid(std::max<qsizetype>(0, panelSeen.size() - 12)).join(u'\n').toStdString();
        return ok;
    }

    void pressEnter(int address)
    {
        QWidget *target = arrays().valueControl(address);
        if (QComboBox *combo = arrays().Combo_Para(address); combo && combo->isEditable())
            target = combo->lineEdit();
        QTest::keyClick(target, Qt::Key_Return);
    }

    // Enter in the box of `address` until the write is judged `outcome` and,
    // after a good write, the read that follows it is judged good too. On a
    // loaded machine a reply can miss its interval; the user's remedy then is
    // "Read All Parameters" (which restarts polling) and Enter once more.
    // Returns the witness index where the successful attempt began, or -1.
    qsizetype enterUntil(int address, LineOutcome outcome, int attempts = 3)
    {
        for (int attempt = 0; attempt < attempts; ++attempt) {
            const qsizetype began = witness.entries.size();
            lastEnterAt = witness.clock.elapsed();
            pressEnter(address);
            qsizetype judged = -1;
            if (!QTest::qWaitFor([&] { return (judged = witness.find(began, false, {Exchange::Write})) >= 0; },
                                 ReplyTimeoutMs))
                return -1;
            const bool asked = witness.entries[judged].outcome == outcome;
            if (asked && outcome != LineOutcome::Good)
                return began;
            if (asked) {
                qsizetype read = -1;
                const bool readJudged = QTest::qWaitFor(
                    [&] { return (read = witness.find(judged, false, {Exchange::ReadOne, Exchange::ReadAll})) >= 0; }, ReplyTimeoutMs);
                if (readJudged && witness.entries[read].outcome == LineOutcome::Good)
                    return began;
                continue;   // polling runs on after a failed read
            }
            const qsizetype clicked = witness.entries.size();
            QTest::mouseClick(parameter->Command_None(0), Qt::LeftButton);
            if (!QTest::qWaitFor([&] { return witness.find(clicked, false, {Exchange::ReadOne, Exchange::ReadAll}) >= 0; }, ReplyTimeoutMs))
                return -1;
        }
        return -1;
    }

    // The console's requests in the log, from the index-th on.
    QList<QByteArray> requestsSince(qsizetype index) const
    {
        QList<QByteArray> out;
        const QList<Frame> frames = test::readTrafficLog(logPath);
        for (qsizetype i = index; i < frames.size(); ++i)
            if (frames[i].request)
                out << frames[i].bytes;
        return out;
    }

    // The request the console sent right after `request`, from the index-th frame on.
    QByteArray requestAfter(qsizetype index, const QByteArray &request) const
    {
        const QList<QByteArray> sent = requestsSince(index);
        const qsizetype at = sent.indexOf(request);
        return at >= 0 && at + 1 < sent.size() ? sent[at + 1] : QByteArray();
    }

    // The reply that followed a request in the log.
    QByteArray replyTo(const QByteArray &request) const
    {
        const QList<Frame> frames = test::readTrafficLog(logPath);
        QByteArray reply;
        for (qsizetype i = 0; i + 1 < frames.size(); ++i)
            if (frames[i].request && frames[i].bytes == request && !frames[i + 1].request)
                reply = frames[i + 1].bytes;
        return reply;
    }

    QString storedBaud() const
    {
        SettingsModel reread;
        SettingsFile file(console.settingsPath());
        file.open();
        Read_User_Setting(file, 1, reread);
        return reread.serial.Baud;
    }

    test::FakeFileDialogs dialogs;
    test::LineSpy witness;
    test::WriteLog writes;
    FM_Parameter *parameter = nullptr;
    QTimer sampler;
    QStringList panelSeen;
    qint64 lastEnterAt = 0;
};

} // namespace

TEST_F(ParameterEndToEndTest, SingleWritesReachTheControllerAndTheBoxShowsWhatItHolds)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(openFor(0));
    EXPECT_EQ(parameter->status().text(1), "No.1 Slot ; ID = 1");
    EXPECT_EQ(arrays().Combo_Para(53)->currentText(), "19200");

    // BAUD 9600: the echo comes at 19200, then both move; the read-back goes at
    // 9600. (Once moved, the controller cannot be asked again at 19200: this
    // write is the one step that a machine too loaded to answer within 100 ms
    // can fail.)
    qsizetype mark = test::readTrafficLog(logPath).size();
    qsizetype from = panelSeen.size();
    arrays().Combo_Para(53)->setCurrentIndex(2);
    pressEnter(53);
    ASSERT_TRUE(waitForPanel2("Read Parameters Please Wait ... Check CRC Ok !", from));
    EXPECT_TRUE(panelSeen.mid(from).contains(WriteCycle::writeText(53) + " Check CRC ok !"));
    EXPECT_EQ(console.settings.serial.Baud, "9600");
    EXPECT_TRUE(port->Settings().startsWith("9600,")) << port->Settings().toStdString();
    EXPECT_EQ(storedBaud(), "9600");
    EXPECT_EQ(arrays().Combo_Para(53)->currentText(), "9600");
    const QByteArray baudWrite = test::writeRequest(1, 53, 63);
    EXPECT_TRUE(requestsSince(mark).contains(baudWrite));
    EXPECT_EQ(replyTo(baudWrite), baudWrite);
    EXPECT_EQ(requestAfter(mark, baudWrite), test::readRequest(1, 53, 1));
    EXPECT_EQ(replyTo(test::readRequest(1, 53, 1)).mid(3, 2), QByteArray("\x00\x3F", 2));

    // SV at 9600: sent one interval (200 ms) after Enter, judged one interval later.
    mark = test::readTrafficLog(logPath).size();
    arrays().Text_Para(0)->setText(QStringLiteral("25.5"));
    const qsizetype began = enterUntil(0, LineOutcome::Good);
    ASSERT_GE(began, 0);
    EXPECT_EQ(window->Timer_Write().interval(), 200);
    const qsizetype sentAt = witness.find(began, true, {Exchange::Write});
    const qsizetype judgedAt = witness.find(began, false, {Exchange::Write});
    ASSERT_GE(sentAt, 0);
    ASSERT_GE(judgedAt, 0);
    EXPECT_GE(witness.entries[sentAt].at - lastEnterAt, 190);
    EXPECT_GE(witness.entries[judgedAt].at - lastEnterAt, 390);
    EXPECT_LT(witness.entries[judgedAt].at - lastEnterAt, 3000);
    const QByteArray svWrite = test::writeRequest(1, 0, 255);
    EXPECT_EQ(witness.entries[sentAt].bytes, svWrite);
    EXPECT_EQ(requestAfter(mark, svWrite), test::readRequest(1, 0, 1));
    const QByteArray readBack = replyTo(test::readRequest(1, 0, 1));
    ASSERT_EQ(readBack.size(), 7);
    EXPECT_EQ(quint8(readBack[3]) << 8 | quint8(readBack[4]), 255);
    EXPECT_EQ(arrays().Text_Para(0)->text(), "25.5");
    EXPECT_EQ(panel2(), "Read Parameters Please Wait ... Check CRC Ok !");

    // DP "00.00": a read-all follows, and SV shows two decimals.
    mark = test::readTrafficLog(logPath).size();
    arrays().Combo_Para(45)->setCurrentIndex(2);
    ASSERT_GE(enterUntil(45, LineOutcome::Good), 0);
    EXPECT_EQ(requestAfter(mark, test::writeRequest(1, 45, 49)), test::readRequest(1, 0, 109));
    EXPECT_EQ(panel2(), "Read All Parameters Please Wait ... Check CRC Ok !");
    EXPECT_EQ(console.slots.Slot_DP_Code[0], 49);
    EXPECT_EQ(arrays().Text_Para(0)->text(), "25.50");

    // An ID of 0 is refused by the controller: its text, and polling stays stopped.
    arrays().Text_Para(54)->setText(QStringLiteral("0"));
    ASSERT_GE(enterUntil(54, LineOutcome::ExceptionReply), 0);
    EXPECT_EQ(panel2(), WriteCycle::writeText(54) + QString::fromUtf8(" Data Error 請檢查您的資料 !"));
    EXPECT_FALSE(window->Timer_Read().isEnabled());
    const qsizetype clicked = witness.entries.size();
    QTest::mouseClick(parameter->Command_None(0), Qt::LeftButton);
    ASSERT_TRUE(readAllUntilGood(clicked));
    EXPECT_EQ(panel2(), "Read All Parameters Please Wait ... Check CRC Ok !");
    EXPECT_EQ(arrays().Text_Para(54)->text(), "1");

    // A BAUD write nobody echoes moves neither the console nor its file.
    ASSERT_NO_FATAL_FAILURE(openFor(1, "No Answer !"));
    EXPECT_EQ(parameter->status().text(1), "No.2 Slot ; ID = 2");
    from = panelSeen.size();
    arrays().Combo_Para(53)->setCurrentIndex(1);
    pressEnter(53);
    ASSERT_TRUE(waitForPanel2(WriteCycle::writeText(53) + " No Answer !", from));
    EXPECT_EQ(console.settings.serial.Baud, "9600");
    EXPECT_TRUE(port->Settings().startsWith("9600,"));
    EXPECT_EQ(storedBaud(), "9600");
    EXPECT_FALSE(window->Timer_Read().isEnabled());
    // ... and controller 1 still answers the live reads at 9600.
    from = panelSeen.size();
    QTest::mouseClick(parameter->Command_None(0), Qt::LeftButton);
    ASSERT_TRUE(waitForPanel2("Read All Parameters Please Wait ... No Answer !", from));
    parameter->close();
    EXPECT_EQ(console.line.Para_Slot(), 16);
    const QString ok = QStringLiteral("Read PV ... Check CRC Ok !");
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return window->StatusBar1().text(1) == "No.1 Slot ; ID = 1" && window->StatusBar1().text(2) == ok;
    }, ReplyTimeoutMs));
    EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join('\n').toStdString();
}

TEST_F(ParameterEndToEndTest, AFileIsWrittenWholeInOrderAndTheWindowSaysWhatWasAccepted)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(openFor(0));
    dialogs.saveAnswers << dir.filePath(QStringLiteral("controller1.par"));
    QTest::mouseClick(parameter->Command_None(2), Qt::LeftButton);
    QFile saved(dir.filePath(QStringLiteral("controller1.par")));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    QByteArray file = saved.readAll();
    ASSERT_EQ(file.size(), 13952);
    // Three decimals do not fit the controller's 300.0 upper limit: it refuses DP.
    QByteArray dp("\x05\x00" "0.000", 7);
    dp.append(128 - dp.size(), '\0');
    file.replace(45 * 128, 128, dp);
    QFile changed(dir.filePath(QStringLiteral("three decimals.par")));
    ASSERT_TRUE(changed.open(QIODevice::WriteOnly));
    changed.write(file);
    changed.close();

    QList<int> progress;
    QObject::connect(parameter->ProgressBar1(), &QProgressBar::valueChanged, [&](int v) { progress << v; });
    const qsizetype mark = test::readTrafficLog(logPath).size();
    const qsizetype witnessMark = witness.entries.size();
    dialogs.openAnswers << changed.fileName();
    QTest::mouseClick(parameter->Command_None(1), Qt::LeftButton);
    EXPECT_EQ(parameter->formHeight(), FormHeightWriteAll);
    EXPECT_FALSE(parameter->Command_None(0)->isEnabled());
    EXPECT_EQ(arrays().Combo_Para(45)->currentText(), "0.000");

    // After the read that verifies the writes, panel 2 ends with the summary.
    static const QRegularExpression closing(QStringLiteral(
        "^Read All Parameters Please Wait \\.\\.\\. (.*) Written (\\d+) of 106, (verified (\\d+)|not verified \\(.*\\))"
        "(; not accepted: ([^;]*))?(; differ after writing: (.*))?$"));
    QRegularExpressionMatch done;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (done = closing.match(panel2())).hasMatch(); }, 60000))
        << panelSeen.mid(std::max<qsizetype>(0, panelSeen.size() - 12)).join(u'\n').toStdString();
    EXPECT_EQ(parameter->formHeight(), FormHeightIdle);
    EXPECT_TRUE(parameter->Command_None(1)->isEnabled());

    // On the line: the backup read, 106 writes in order, nothing else in
    // between, then the read that verifies them.
    const QList<Frame> frames = test::readTrafficLog(logPath).mid(mark);
    QList<qsizetype> requestAt;
    for (qsizetype i = 0; i < frames.size(); ++i)
        if (frames[i].request)
            requestAt << i;
    // A live read may have been on its way when the download took the line.
    while (!requestAt.isEmpty() && frames[requestAt.first()].bytes != test::readRequest(1, 0, 109))
        requestAt.removeFirst();
    ASSERT_GE(requestAt.size(), 108);
    const auto &order = WriteCycle::allWriteOrder();
    for (size_t i = 0; i < order.size(); ++i) {
        const QByteArray &r = frames[requestAt[qsizetype(i) + 1]].bytes;
        EXPECT_EQ(r[1], 6) << i;
        EXPECT_EQ(test::requestAddress(r), order[i]) << i;
        EXPECT_NE(order[i], 14);
        EXPECT_NE(order[i], 53);
        EXPECT_NE(order[i], 54);
    }
    EXPECT_EQ(frames[requestAt[107]].bytes, test::readRequest(1, 0, 109));

    // The summary is what the console judged, write by write: DP refused by
    // the controller with its exception reply, the others accepted unless
    // their reply missed its wait (which a loaded machine can make happen).
    // A write judged good was echoed on the line, as the log shows.
    QList<test::LineSpy::Entry> judged;
    for (const test::LineSpy::Entry &e : witness.entries.mid(witnessMark))
        if (!e.sent && e.exchange == Exchange::Write)
            judged << e;
    ASSERT_EQ(judged.size(), 106);
    QStringList notAccepted;
    for (size_t i = 0; i < order.size(); ++i) {
        const test::LineSpy::Entry &e = judged[qsizetype(i)];
        const QByteArray &request = frames[requestAt[qsizetype(i) + 1]].bytes;
        const std::string_view name = findRegister(order[i])->mnemonic;
        if (e.outcome != LineOutcome::Good)
            notAccepted << QString::fromLatin1(name.data(), qsizetype(name.size()));
        if (order[i] == 45) {
            EXPECT_EQ(e.outcome, LineOutcome::ExceptionReply);
            EXPECT_EQ(e.bytes.mid(1, 2), QByteArray("\x86\x03", 2));
        }
        if (e.outcome == LineOutcome::Good) {
            EXPECT_EQ(e.bytes, request) << i;
            bool echoed = false;
            for (qsizetype k = requestAt[qsizetype(i) + 1] + 1; k < requestAt[qsizetype(i) + 2]; ++k)
                echoed = echoed || (!frames[k].request && frames[k].bytes == request);
            EXPECT_TRUE(echoed) << i;
        }
    }
    EXPECT_EQ(done.captured(2).toInt(), 106 - notAccepted.size());
    EXPECT_EQ(done.captured(6), notAccepted.join(QStringLiteral(", ")));
    EXPECT_TRUE(notAccepted.contains("DP"));
    // What the controller accepted it holds: nothing differs after writing.
    if (!done.captured(4).isEmpty()) {
        EXPECT_EQ(done.captured(4).toInt(), 106 - notAccepted.size());
        EXPECT_TRUE(done.captured(8).isEmpty()) << done.captured(0).toStdString();
    }

    // The progress bar climbed to 108, then showed 15.
    QList<int> expected(order.begin() + 1, order.end());
    EXPECT_EQ(progress, expected);
    EXPECT_EQ(parameter->ProgressBar1()->value(), 15);
    // The read after writing shows what the controller holds: one decimal still.
    if (done.captured(1) == QLatin1String("Check CRC Ok !")) {
        EXPECT_EQ(arrays().Combo_Para(45)->currentText(), "000.0");
    }
    EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join('\n').toStdString();

    // The line's counters saw every request to controller 1, the writes included.
    window->Timer_Read().setEnabled(false);
    QTest::qWait(300);   // the last reply judged, the last request logged
    qsizetype toController1 = 0;
    for (const QByteArray &request : requestsSince(0))
        toController1 += quint8(request[0]) == 1 ? 1 : 0;
    EXPECT_EQ(window->health().counters().of(1).sent, std::uint64_t(toController1));
}

TEST_F(ParameterEndToEndTest, CompareWritesOnlyTheDifferencesBacksUpVerifiesRestoresAndCopies)
{
    // Controller 1 refuses writes of A2SP and keeps HILT one above what it is given.
    ASSERT_NO_FATAL_FAILURE(startTwo({"--refuse-write", "1:9", "--alter-write", "1:47"}));
    ASSERT_NO_FATAL_FAILURE(openFor(0));
    window->writeCycle().addWriteObserver(&writes);
    const qsizetype start = test::readTrafficLog(logPath).size();

    // What controller 1 holds, saved; a file with five parameters changed.
    dialogs.saveAnswers << dir.filePath(QStringLiteral("held.par"));
    QTest::mouseClick(parameter->Command_None(2), Qt::LeftButton);
    QFile heldFile(dir.filePath(QStringLiteral("held.par")));
    ASSERT_TRUE(heldFile.open(QIODevice::ReadOnly));
    const QStringList held = parseParameterFile(heldFile.readAll());
    QStringList changed = held;
    changed[0] = QStringLiteral("123.4");    // SV
    changed[7] = QStringLiteral("LATH");     // A1MD
    changed[9] = QStringLiteral("55.5");     // A2SP, refused
    changed[47] = QStringLiteral("250.0");   // HILT, kept as 250.1
    changed[55] = QStringLiteral("30");      // CT
    const QString changedPath = dir.filePath(QStringLiteral("changed.par"));
    {
        QFile f(changedPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(buildParameterFile(changed));
    }

    // "Compare File...": the controller is read afresh and nothing is written.
    qsizetype mark = test::readTrafficLog(logPath).size();
    dialogs.openAnswers << changedPath;
    QTest::mouseClick(parameter->Command_None(3), Qt::LeftButton);
    EXPECT_EQ(dialogs.asked.last(), "Compare File|(*.par)|*.par");
    ASSERT_TRUE(QTest::qWaitFor([&] { return parameter->compareWindow() && parameter->compareWindow()->isVisible(); },
                                ReplyTimeoutMs));
    FM_Compare *compare = parameter->compareWindow();
    EXPECT_EQ(compare->windowTitle(), "Compare");
    EXPECT_EQ(compare->headline()->text(), "5 parameters of controller 1 differ from changed.par");
    const QList<int> changedAt{0, 7, 9, 47, 55};
    ASSERT_EQ(compare->differences()->topLevelItemCount(), changedAt.size());
    for (int row = 0; row < changedAt.size(); ++row) {
        const QTreeWidgetItem *item = compare->differences()->topLevelItem(row);
        const int a = changedAt[row];
        EXPECT_EQ(item->text(0), QString::fromLatin1(findRegister(a)->mnemonic.data(),
                                                     qsizetype(findRegister(a)->mnemonic.size())));
        EXPECT_EQ(item->text(2), held[a]);
        EXPECT_EQ(item->text(3), changed[a]);
    }
    EXPECT_EQ(compare->differences()->topLevelItem(0)->text(1), "Control Settings");
    EXPECT_TRUE(compare->button(0)->isEnabled());
    for (const QByteArray &r : requestsSince(mark))
        EXPECT_NE(r[1], 6) << "a compare wrote";
    EXPECT_TRUE(backups().isEmpty());

    // "Write differences": a backup, exactly the five writes in the write-all
    // order, then the read that verifies them.
    mark = test::readTrafficLog(logPath).size();
    QTest::mouseClick(compare->button(0), Qt::LeftButton);
    EXPECT_FALSE(compare->button(0)->isEnabled());
    const QString firstResult = QStringLiteral("Written 4 of 5, verified 3; not accepted: A2SP; differ after writing: HILT");
    ASSERT_TRUE(QTest::qWaitFor([&] { return compare->result()->text().startsWith("Written"); }, 20000))
        << compare->result()->text().toStdString();
    EXPECT_EQ(compare->result()->text(), firstResult);
    EXPECT_TRUE(waitForPanel2("Read All Parameters Please Wait ... Check CRC Ok ! " + firstResult));
    const QList<QByteArray> firstDownload{test::readRequest(1, 0, 109), test::writeRequest(1, 0, 1234),
                                          test::writeRequest(1, 7, 15),   test::writeRequest(1, 9, 555),
                                          test::writeRequest(1, 47, 2500), test::writeRequest(1, 55, 30),
                                          test::readRequest(1, 0, 109)};
    EXPECT_EQ(downloadSince(mark, 1).mid(0, 7), firstDownload);
    // The backup is what the controller held.
    ASSERT_EQ(backups().size(), 1);
    const QString firstBackup = dir.filePath(QStringLiteral("Backups/") + backups().first());
    EXPECT_TRUE(backups().first().endsWith(" 1.par"));
    QFile backup(firstBackup);
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    EXPECT_EQ(parseParameterFile(backup.readAll()), held);
    // The window shows what the controller holds now.
    EXPECT_EQ(arrays().Text_Para(0)->text(), "123.4");
    EXPECT_EQ(arrays().Text_Para(47)->text(), "250.1");
    EXPECT_EQ(arrays().Text_Para(9)->text(), held[9]);

    // "Restore Backup...": the dialog opens in Backups on this controller's
    // backups; what the first download changed is listed, and written back.
    dialogs.openAnswers << firstBackup;
    QTest::mouseClick(parameter->Command_None(4), Qt::LeftButton);
    EXPECT_EQ(dialogs.asked.last(), "Restore Backup|Backups of controller 1|*[!0-9]1.par");
    EXPECT_EQ(dialogs.folders.last(), dir.filePath(QStringLiteral("Backups")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return compare->headline()->text().endsWith(backups().first()); }, ReplyTimeoutMs))
        << compare->headline()->text().toStdString();
    EXPECT_EQ(compare->headline()->text(), "4 parameters of controller 1 differ from " + backups().first());
    EXPECT_EQ(compare->differences()->topLevelItemCount(), 4);
    mark = test::readTrafficLog(logPath).size();
    QTest::mouseClick(compare->button(0), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return compare->result()->text().startsWith("Written"); }, 20000));
    EXPECT_EQ(compare->result()->text(), "Written 4 of 4, verified 3; differ after writing: HILT");
    EXPECT_EQ(downloadSince(mark, 1).mid(0, 6),
              (QList<QByteArray>{test::readRequest(1, 0, 109), test::writeRequest(1, 0, 1000),
                                 test::writeRequest(1, 7, 13), test::writeRequest(1, 47, 3000),
                                 test::writeRequest(1, 55, 20), test::readRequest(1, 0, 109)}));
    EXPECT_EQ(backups().size(), 2);

    // "Copy to...": controller 2 gets what the window shows where it differs
    // (HILT, which controller 1 keeps one above), with its own backup.
    QTest::mouseClick(parameter->Command_None(5), Qt::LeftButton);
    FM_CopyTo *copy = parameter->copyWindow();
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->controllers()->topLevelItemCount(), 1);
    QTreeWidgetItem *oven2 = copy->controllers()->topLevelItem(0);
    EXPECT_EQ(oven2->text(1), "2");
    EXPECT_EQ(oven2->text(2), "Oven2");
    oven2->setCheckState(0, Qt::Checked);
    mark = test::readTrafficLog(logPath).size();
    QTest::mouseClick(copy->button(0), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return oven2->text(3).startsWith("Written"); }, 20000)) << oven2->text(3).toStdString();
    EXPECT_EQ(oven2->text(3), "Written 1 of 1, verified 1");
    EXPECT_TRUE(QTest::qWaitFor([&] { return copy->statusLine()->text() == "Copy done."; }, ReplyTimeoutMs));
    EXPECT_EQ(downloadSince(mark, 2).mid(0, 3),
              (QList<QByteArray>{test::readRequest(2, 0, 109), test::writeRequest(2, 47, 3001),
                                 test::readRequest(2, 0, 109)}));
    for (const QByteArray &r : requestsSince(mark))
        EXPECT_FALSE(quint8(r[0]) == 1 && r[1] == 6) << "the copy wrote to the window's controller";
    EXPECT_EQ(backups().size(), 3);
    // The window still shows controller 1.
    EXPECT_EQ(parameter->status().text(1), "No.1 Slot ; ID = 1");
    EXPECT_EQ(arrays().Text_Para(47)->text(), "300.1");

    // Every write on the line is told once, with where it came from.
    QList<QByteArray> sentWrites;
    for (const QByteArray &r : requestsSince(start))
        if (r[1] == 6)
            sentWrites << r;
    ASSERT_EQ(writes.writes.size(), size_t(sentWrites.size()));
    ASSERT_EQ(sentWrites.size(), 10);
    for (size_t i = 0; i < writes.writes.size(); ++i) {
        const ParameterWrite &w = writes.writes[i];
        EXPECT_EQ(test::writeRequest(w.controllerId, w.address, w.value), sentWrites[qsizetype(i)]) << i;
        EXPECT_EQ(w.origin, i < 5 ? WriteOrigin::File : i < 9 ? WriteOrigin::Restore : WriteOrigin::Copy) << i;
        EXPECT_EQ(w.outcome, w.address == 9 ? LineOutcome::ExceptionReply : LineOutcome::Good) << i;
    }
    window->writeCycle().removeWriteObserver(&writes);

    // Each of them is one row of the audit trail, with the text the
    // controller held before (from the read just before it), the text and
    // the register value sent, the outcome and the origin.
    ASSERT_TRUE(window->alarms().journal().flush(std::chrono::seconds(10)));
    test::JournalReader reader(journalPath(dir.path()));
    ASSERT_TRUE(reader.ok());
    QSqlQuery q(reader.db());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT ") + parameterWriteColumns()
                       + QStringLiteral(" FROM parameter_writes ORDER BY id")));
    std::vector<ParameterWriteRow> rows;
    while (q.next())
        rows.push_back(readParameterWriteRow(q));
    ASSERT_EQ(rows.size(), writes.writes.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const ParameterWriteRow &row = rows[i];
        const ParameterWrite &w = writes.writes[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(row.controllerId, w.controllerId);
        EXPECT_EQ(row.address, w.address);
        EXPECT_EQ(row.textSent, w.textSent);
        EXPECT_EQ(row.value, std::uint16_t(w.value));
        EXPECT_EQ(row.origin, writeOriginText(w.origin));
        EXPECT_EQ(row.outcome, w.address == 9 ? "refused" : "accepted");
        EXPECT_EQ(row.reason.isEmpty(), w.address != 9);
        EXPECT_FALSE(row.user.isEmpty());
        EXPECT_EQ(row.timeMs, w.at.toMSecsSinceEpoch());
    }
    // Before the first download controller 1 held `held`; the restore
    // replaced what that download left (HILT as the controller kept it).
    EXPECT_EQ(rows[0].textBefore, held[0]);
    EXPECT_EQ(rows[3].textBefore, held[47]);
    EXPECT_EQ(rows[5].textBefore, "123.4");
    EXPECT_EQ(rows[7].textBefore, "250.1");
    EXPECT_EQ(rows[9].mnemonic, "HILT");
    EXPECT_EQ(rows[9].controllerId, 2);
    EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join('\n').toStdString();
}
