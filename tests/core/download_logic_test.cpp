// What a download and a compare decide without the line: the texts a read
// shows, which parameters differ from a file, the end text, the backup names
// and the compare report.

#include "core/compare_report.h"
#include "core/controller_parameters.h"
#include "core/download_result.h"
#include "core/parameter_backup.h"
#include "core/parameter_diff.h"
#include "core/parameter_write.h"
#include "core/write_all_order.h"

#include "base/error.h"
#include "model/register_addresses.h"
#include "support/fake_controller.h"
#include "support/replies.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

using namespace orbalis;

namespace {

std::map<int, std::uint16_t> asMap(const std::array<std::uint16_t, HoldingRegisterCount> &registers)
{
    std::map<int, std::uint16_t> m;
    for (int a = 0; a < HoldingRegisterCount; ++a)
        m[a] = registers[size_t(a)];
    return m;
}

ControllerParameters read(const std::array<std::uint16_t, HoldingRegisterCount> &registers)
{
    return ControllerParameters::fromReply(test::readAllReply(1, asMap(registers)));
}

TEST(ControllerParametersTest, TextsAreWhatTheWindowShowsAfterTheReadTrimmedAsAFileKeepsThem)
{
    auto registers = test::FakeControllers::validRegisters(1);
    registers[reg::SV] = 255;
    registers[reg::RUN] = 19;        // "AT2 "
    registers[reg::A1FU] = 99;       // outside the list: the first item shows
    registers[reg::SEGMENT1 + 4] = 65535;   // JP1, signed in a read-all
    registers[reg::DP] = 49;
    const ControllerParameters p = read(registers);
    EXPECT_EQ(p.dpCode(), 49);
    EXPECT_EQ(p.value(reg::SV), 255);
    EXPECT_EQ(p.text(reg::SV), "2.55");
    EXPECT_EQ(p.text(reg::RUN), "AT2");
    EXPECT_EQ(p.text(reg::A1FU), "A_OFF");
    EXPECT_EQ(controllerTextOf(p, reg::A1FU), "A_OFF (code 99)");
    EXPECT_EQ(controllerTextOf(p, reg::RUN), "AT2");
    EXPECT_EQ(p.text(reg::SEGMENT1 + 4), "-1");
    EXPECT_EQ(p.text(reg::DP), "00.00");
    EXPECT_EQ(p.texts().size(), 109);

    registers[reg::DP] = 3;   // no decimal point the window knows: none
    EXPECT_EQ(read(registers).dpCode(), 47);
    EXPECT_EQ(read(registers).text(reg::SV), "255");
    // A reply too short for 109 registers is refused, never read past its end.
    EXPECT_THROW(ControllerParameters::fromReply(test::countingReply(1, 3, 108)), Error);
}

TEST(ParameterDiffTest, AParameterDiffersWhenItsTextWouldWriteAnotherValue)
{
    const auto base = test::FakeControllers::validRegisters(1);   // one decimal
    struct Case {
        const char *what;
        std::function<void(std::array<std::uint16_t, HoldingRegisterCount> &)> controller;
        std::function<void(QStringList &)> file;
        std::vector<int> differing;
        std::vector<int> written;   // in the write-all order
    };
    const Case cases[] = {
        {"the same", [](auto &) {}, [](QStringList &) {}, {}, {}},
        {"SV and RUN changed", [](auto &) {},
         [](QStringList &f) {
             f[reg::RUN] = "HOLD";
             f[reg::SV] = "30.0";
         },
         {reg::SV, reg::RUN}, {reg::SV, reg::RUN}},
        {"more decimals meaning the same", [](auto &) {}, [](QStringList &f) { f[reg::SV] = "1.00"; }, {}, {}},
        {"a list item by its trimmed text", [](auto &r) { r[reg::RUN] = 19; }, [](QStringList &f) { f[reg::RUN] = "AT2"; },
         {}, {}},
        {"a list register outside its list, shown as its first item", [](auto &r) { r[reg::A1FU] = 99; },
         [](QStringList &) {}, {reg::A1FU}, {reg::A1FU}},
        {"a text that cannot be sent", [](auto &) {}, [](QStringList &f) { f[reg::CT] = "99999"; }, {reg::CT},
         {reg::CT}},
        {"OUTL, BAUD and ID differ but are never written", [](auto &) {},
         [](QStringList &f) {
             f[reg::ID] = "2";
             f[reg::BAUD] = "9600";
             f[reg::OUTL] = "9.9";
             f[reg::HYSM] = "0.7";
         },
         {reg::OUTL, reg::BAUD, reg::ID, reg::HYSM}, {reg::HYSM}},
        {"a negative jump count", [](auto &r) { r[reg::SEGMENT1 + 4] = 65535; },
         [](QStringList &f) { f[reg::SEGMENT1 + 4] = "-1"; }, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto registers = base;
        const QStringList before = read(registers).texts();
        c.controller(registers);
        QStringList file = before;
        c.file(file);
        const ControllerParameters controller = read(registers);
        const auto differences = compareParameters(controller, file);
        std::vector<int> differing;
        for (const ParameterDifference &d : differences) {
            differing.push_back(d.address);
            EXPECT_EQ(d.writable, inWriteAllOrder(d.address));
            EXPECT_EQ(d.controllerValue, registers[size_t(d.address)]);
            EXPECT_EQ(d.wantedText, file[d.address]);
        }
        EXPECT_EQ(differing, c.differing);
        EXPECT_EQ(addressesToWrite(differences), c.written);
    }
}

TEST(ParameterDiffTest, TheWriteAllOrderLeavesOutLinkSettingsAndOutputAndEndsWithRun)
{
    const auto &order = writeAllOrder();
    EXPECT_EQ(order.size(), 106u);
    EXPECT_EQ(order.back(), reg::RUN);
    for (int a : {reg::OUTL, reg::BAUD, reg::ID})
        EXPECT_FALSE(inWriteAllOrder(a)) << a;
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end() - 1));
}

TEST(DownloadResultTest, TheEndTextNamesWhatWasWrittenVerifiedAndNot)
{
    auto result = [](int planned, int accepted, std::optional<int> verified, QStringList notAccepted = {},
                     QStringList differ = {}) {
        DownloadResult r;
        r.planned = planned;
        r.accepted = accepted;
        r.verified = verified;
        r.verifyFailure = QStringLiteral("No Answer !");
        r.notAccepted = notAccepted;
        r.differAfter = differ;
        return r;
    };
    DownloadResult noBackup;
    noBackup.backupFailure = QStringLiteral("the backup read failed (No Answer !)");
    DownloadResult cut = result(106, 40, std::nullopt);
    cut.cutShort = true;
    const std::pair<DownloadResult, const char *> cases[] = {
        {result(106, 106, 106), "Written 106 of 106, verified 106"},
        {result(106, 105, 104, {"DP"}, {"HILT"}),
         "Written 105 of 106, verified 104; not accepted: DP; differ after writing: HILT"},
        {result(3, 1, 1, {"SV", "RUN"}), "Written 1 of 3, verified 1; not accepted: SV, RUN"},
        {result(2, 2, 0, {}, {"SV", "A1SP"}), "Written 2 of 2, verified 0; differ after writing: SV, A1SP"},
        {result(106, 106, std::nullopt), "Written 106 of 106, not verified (No Answer !)"},
        {result(0, 0, std::nullopt), "Nothing differs: nothing written"},
        {noBackup, "Nothing was written: the backup read failed (No Answer !)"},
        {cut, "Stopped after 40 of 106 written"},
    };
    for (const auto &[r, text] : cases)
        EXPECT_EQ(downloadSummaryText(r), QString::fromLatin1(text));
}

TEST(ParameterBackupTest, BackupsAreNamedByTimeAndIdAndFoundPerController)
{
    const QDateTime when(QDate(2024, 5, 1), QTime(9, 5, 7));
    EXPECT_EQ(backupFileName(when, 5), "240501-090507 5.par");
    EXPECT_EQ(backupPath("/p", when, 17), "/p/Backups/240501-090507 17.par");
    EXPECT_EQ(backupNamePattern(1), "*[!0-9]1.par");
    // A second backup within the same second takes the next free second.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(freeBackupPath(dir.path(), when, 5), backupPath(dir.path(), when, 5));
    for (int taken = 0; taken < 2; ++taken) {
        ASSERT_TRUE(QDir(dir.path()).mkpath("Backups"));
        QFile f(backupPath(dir.path(), when.addSecs(taken), 5));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(freeBackupPath(dir.path(), when, 5), dir.path() + "/Backups/240501-090509 5.par");
    EXPECT_EQ(freeBackupPath(dir.path(), when, 6), dir.path() + "/Backups/240501-090507 6.par");
    const std::tuple<const char *, int, bool> names[] = {
        {"240501-090507 1.par", 1, true},     {"240501-090507 11.par", 1, false}, {"240501-090507 11.par", 11, true},
        {"240501-090507 21.par", 1, false},   {"my 1.par", 1, false},             {"240501-090507 1.par.bak", 1, false},
        {"240501-0905 1.par", 1, false},
    };
    for (const auto &[name, id, matches] : names)
        EXPECT_EQ(isBackupOf(QString::fromLatin1(name), id), matches) << name << " " << id;
}

TEST(CompareReportTest, TheReportListsTheDifferencesInColumns)
{
    auto registers = test::FakeControllers::validRegisters(3);
    QStringList file = read(registers).texts();
    file[reg::SV] = "30.0";
    file[reg::ID] = "4";
    const Comparison c = Comparison::of(0, 3, "/files/oven.par", WriteOrigin::File,
                                        QDateTime(QDate(2024, 5, 1), QTime(12, 0, 0)), read(registers), file);
    EXPECT_EQ(comparisonHeadline(c), "2 parameters of controller 3 differ from oven.par");
    EXPECT_EQ(unwrittenNote(c), "Not written by \"Write differences\": ID");
    EXPECT_EQ(compareReportText(c), "Compare of controller ID 3 (slot 1) with /files/oven.par\n"
                                    "Controller read 2024-05-01 12:00:00\n"
                                    "2 parameters of controller 3 differ from oven.par\n"
                                    "\n"
                                    "Mnemonic  Label                   Controller  File\n"
                                    "SV        Control Settings        1.0         30.0\n"
                                    "ID        Communication settings  3           4\n"
                                    "\n"
                                    "Not written by \"Write differences\": ID\n");
    const Comparison same = Comparison::of(0, 3, "/files/oven.par", WriteOrigin::File, QDateTime(),
                                           read(registers), read(registers).texts());
    EXPECT_EQ(comparisonHeadline(same), "No difference: controller 3 holds what oven.par says");
    EXPECT_TRUE(unwrittenNote(same).isEmpty());
}

TEST(ParameterWriteTest, OriginsAndOutcomesReadAsTheJournalKeepsThem)
{
    const std::pair<WriteOrigin, const char *> origins[] = {{WriteOrigin::Window, "window"},
                                                           {WriteOrigin::File, "file"},
                                                           {WriteOrigin::Restore, "restore"},
                                                           {WriteOrigin::Copy, "copy"},
                                                           {WriteOrigin::Mqtt, "MQTT"}};
    for (const auto &[origin, text] : origins)
        EXPECT_EQ(writeOriginText(origin), QString::fromLatin1(text));
    ParameterWrite w;
    w.judged = false;
    EXPECT_EQ(writeOutcomeText(w), "not judged");
    w.judged = true;
    w.outcome = LineOutcome::ExceptionReply;
    w.exceptionCode = 7;
    EXPECT_EQ(writeRefusalReason(w), "code 7");
}

} // namespace
