// Opening the serial settings window: build it, load it (record 1, the scan
// table of 255 rows by 5 columns, the port list from the machine's devices)
// and show it until it is exposed and painted. Target: median under 100 ms.

#include "serialsetup/serial_setting_window.h"

#include "base/reporter.h"
#include "core/quiet_views.h"
#include "link/qt_serial_port.h"
#include "settings/settings_store.h"
#include "state/console.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QWindow>
#include <benchmark/benchmark.h>

using namespace orbalis;

namespace {

class SilentReporter : public Reporter {
public:
    void beep() override {}
    void warn(const QString &, const QString &) override {}
    bool askYesNo(const QString &, const QString &) override { return true; }
};

void BM_OpenSerialSettingWindow(benchmark::State &state)
{
    QTemporaryDir dir;
    Console console;
    console.programDir = dir.path();
    SettingsModel model;
    Fill_Default_Settings(model);
    saveSettingsRecords(console.settingsPath(), {1, 2, 3, 4, 5, 6, 7}, model);
    console.settings = model;
    QtSerialPort port{ComPortResolver(dir.path())};
    console.line.attach(&port, nullptr, nullptr);
    SilentReporter reporter;
    StatusTexts status;

    for (auto _ : state) {
        auto window = std::make_unique<FM_SerialSetting>(console, status, reporter);
        window->FM_SerialSetting_Load();
        window->show();
        while (!window->windowHandle() || !window->windowHandle()->isExposed())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::processEvents();   // the first paint
        state.PauseTiming();
        window.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_OpenSerialSettingWindow)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(10)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
