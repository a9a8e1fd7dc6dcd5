// The parameter window: opening it to shown (first and second time) and
// filling it from a read-all reply.

#include "parameter/parameter_window.h"
#include "core/write_cycle.h"

#include "model/display.h"
#include "support/fake_serial_port.h"
#include "support/fakes.h"
#include "support/qt_app.h"
#include "support/replies.h"

#include <QWindow>
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

using namespace orbalis;

namespace {

// The console as the window sees it: slot 0 bound to controller 1.
struct Setup {
    Setup()
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        test::qtApp();
        console.slots.SlotId[0] = 1;
        console.slots.Slot_DP_Code[0] = 48;
        console.line.attach(&port, &timerRead, &timerWrite);
        port.setPortOpen(true);
    }
    Console console;
    test::FakeSerialPort port;
    test::FakeTimer timerRead;
    test::FakeTimer timerWrite;
    test::FakeReporter reporter;
    WriteCycle cycle{console, reporter};
};

// Shows the window for slot 0 and returns once it is on screen and painted.
void openAndWait(FM_Parameter &window)
{
    window.openForSlot(0);
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QApplication::processEvents();
    QApplication::processEvents();
}

void BM_FirstOpening(benchmark::State &state)
{
    Setup s;
    for (auto _ : state) {
        auto window = std::make_unique<FM_Parameter>(s.console, s.cycle, s.reporter);
        openAndWait(*window);
        state.PauseTiming();
        window.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}

void BM_SecondOpening(benchmark::State &state)
{
    Setup s;
    FM_Parameter window(s.console, s.cycle, s.reporter);
    openAndWait(window);
    for (auto _ : state) {
        state.PauseTiming();
        window.close();
        QApplication::processEvents();
        state.ResumeTiming();
        openAndWait(window);
    }
}

QByteArray readAllReply(int base)
{
    std::vector<std::uint16_t> registers(109);
    for (int a = 0; a < 109; ++a)
        registers[size_t(a)] = std::uint16_t(base + a);
    registers[45] = 48;
    return test::readReply(1, 3, registers);
}

void BM_FillFromReadAll(benchmark::State &state)
{
    Setup s;
    FM_Parameter window(s.console, s.cycle, s.reporter);
    openAndWait(window);
    DisplayTargets targets;
    targets.parameterWindow = &window.controls();
    // Two replies in turn, so that every fill changes every control.
    const QByteArray replies[2] = {readAllReply(0), readAllReply(1000)};
    std::int32_t dp = 48;
    int n = 0;
    for (auto _ : state)
        Show_All_Parameters(replies[n++ & 1], dp, targets);
}

} // namespace

BENCHMARK(BM_FirstOpening)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(15)->ReportAggregatesOnly(true);
BENCHMARK(BM_SecondOpening)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(15)->ReportAggregatesOnly(true);
BENCHMARK(BM_FillFromReadAll)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
