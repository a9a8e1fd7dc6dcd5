// Downloads: the compare of 109 parameters once the read is in, and the line
// time of a write-all with its backup read and its verify read, against fake
// controllers. The line time is the sum of the waits Timer_Write is given
// (the time a real line takes at that baud), split into the writes, which a
// write-all always sent, and the two reads of all parameters around them.

#include "core/controller_parameters.h"
#include "core/parameter_diff.h"
#include "core/write_all_order.h"
#include "core/write_cycle.h"
#include "model/register_map.h"
#include "support/fake_controller.h"
#include "support/fake_parameter_window.h"
#include "support/fake_serial_port.h"
#include "support/fakes.h"
#include "support/replies.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace orbalis;

namespace {

constexpr int Id = 1;

std::map<int, std::uint16_t> registerMap(const std::array<std::uint16_t, HoldingRegisterCount> &registers)
{
    std::map<int, std::uint16_t> m;
    for (int a = 0; a < HoldingRegisterCount; ++a)
        m[a] = registers[size_t(a)];
    return m;
}

// The controller's read, decoded, against a file with every fourth parameter changed.
void BM_CompareAfterRead(benchmark::State &state)
{
    const auto registers = test::FakeControllers::validRegisters(Id);
    const QByteArray reply = test::readAllReply(Id, registerMap(registers));
    QStringList file = ControllerParameters::fromReply(reply).texts();
    for (int a = 0; a < HoldingRegisterCount; a += 4)
        if (a != reg::DP)
            file[a] = QStringLiteral("12.3");
    const bool withDecode = state.range(0) != 0;
    const ControllerParameters read = ControllerParameters::fromReply(reply);
    std::size_t differences = 0;
    for (auto _ : state) {
        if (withDecode) {
            const ControllerParameters fresh = ControllerParameters::fromReply(reply);
            differences = compareParameters(fresh, file).size();
        } else {
            differences = compareParameters(read, file).size();
        }
        benchmark::DoNotOptimize(differences);
    }
    state.counters["differences"] = double(differences);
    state.SetLabel(withDecode ? "decode and compare" : "compare");
}
BENCHMARK(BM_CompareAfterRead)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

struct ResultView : orbalis::DownloadView {
    void setProgress(int) override {}
    void controllerDone(const DownloadResult &r) override { result = r; }
    void downloadEnded(bool) override {}
    DownloadResult result;
};

// A whole file written at the baud `state.range(0)`: line time by kind of exchange.
void BM_WriteAllLineTime(benchmark::State &state)
{
    const QString baud = QString::number(state.range(0));
    QTemporaryDir dir;
    Console console;
    console.programDir = dir.path();
    console.settings.serial = {QStringLiteral("COM1"), baud, QStringLiteral("2"), QStringLiteral("8"),
                               QStringLiteral("None")};
    console.slots.SlotId[0] = Id;
    console.slots.Slot_DP_Code[0] = 48;
    test::FakeSerialPort port;
    test::FakeTimer timerRead;
    test::FakeTimer timerWrite;
    test::FakeParameterWindow window;
    test::FakeReporter reporter;
    test::FakeControllers controllers;
    console.line.showParametersOf(0);
    console.line.attach(&port, &timerRead, &timerWrite);
    console.parameterWindow = &window;
    port.setPortOpen(true);
    controllers.serve(port);
    WriteCycle cycle(console, reporter);

    double writesMs = 0;
    double readAllsMs = 0;
    int readAlls = 0;
    for (auto _ : state) {
        controllers.add(Id);
        QStringList file =
            ControllerParameters::fromReply(test::readAllReply(Id, registerMap(controllers.controllers[Id].registers)))
                .texts();
        file[reg::SV] = QStringLiteral("25.5");
        DownloadPlan plan;
        plan.origin = WriteOrigin::File;
        plan.texts = file;
        plan.targets = {{0, Id}};
        ResultView view;
        writesMs = readAllsMs = 0;
        readAlls = 0;
        if (!cycle.startDownload(plan, view)) {
            state.SkipWithError("the download did not start");
            return;
        }
        while (timerWrite.isEnabled()) {
            const qsizetype sent = port.outputs.size();
            cycle.Timer_Write_Timer();
            // The wait after this tick belongs to the exchange last sent.
            const QByteArray &request = port.outputs.last();
            const bool readAll = request[1] == 3;
            if (port.outputs.size() > sent && readAll)
                ++readAlls;
            (readAll ? readAllsMs : writesMs) += timerWrite.isEnabled() ? timerWrite.interval() : 0;
        }
        if (view.result.accepted != WriteAllCount) {
            state.SkipWithError("not every write was accepted");
            return;
        }
    }
    state.counters["writes_line_ms"] = writesMs;
    state.counters["read_alls_line_ms"] = readAllsMs;
    state.counters["read_alls"] = readAlls;
    state.SetLabel(QStringLiteral("%1 baud").arg(baud).toStdString());
}
BENCHMARK(BM_WriteAllLineTime)->Arg(2400)->Arg(9600)->Arg(19200)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
