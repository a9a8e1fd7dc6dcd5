// One full controller scan in the console as a user starts it: the main
// window loads from the program folder, "Setting", "Communication" opens the
// serial settings window and "Start" runs the scan on its real timer. Prints
// the time from "Start" to the scan's end and what the window then shows.
// Run by bench/scan_timing.py against orbalis-sim.

#include "console/main_window.h"
#include "link/qt_serial_port.h"
#include "serialsetup/serial_setting_window.h"
#include "state/console.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

using namespace orbalis;

namespace {

class QuietReporter : public Reporter {
public:
    void beep() override { ++beeps; }
    void warn(const QString &, const QString &text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool askYesNo(const QString &, const QString &) override { return true; }
    int beeps = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: scan_timing_run PROGRAM_DIR\n");
        return 2;
    }
    Console console;
    console.programDir = args[1];
    QtSerialPort port{ComPortResolver(console.programDir)};
    QuietReporter reporter;
    FM_Orbalis main(console, port, reporter);
    main.Form_Load();
    if (!port.PortOpen()) {
        std::fprintf(stderr, "the port did not open\n");
        return 1;
    }
    main.Option_Click(0);
    FM_SerialSetting *window = main.serialSetting();

    QElapsedTimer elapsed;
    double seconds = 0;
    QTimer watch;
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (window->Timer1().isEnabled())
            return;
        seconds = elapsed.nsecsElapsed() / 1e9;
        watch.stop();
        // exit(), not quit(): quit() closes the windows first.
        QCoreApplication::exit(0);
    });
    const int beepsBefore = reporter.beeps;
    elapsed.start();
    window->Command1(3)->click();
    watch.start();
    app.exec();

    int dashes = 0;
    for (int row = 0; row < 255; ++row)
        for (int column = 1; column <= 4; ++column)
            dashes += window->ListView1(1)->topLevelItem(row)->text(column) == QStringLiteral("---");
    std::printf("scan seconds %.3f\n", seconds);
    std::printf("cells --- %d\n", dashes);
    std::printf("label %s\n", qPrintable(window->Label2()->text()));
    std::printf("baud %s\n", qPrintable(console.settings.serial.Baud));
    std::printf("beeps %d\n", reporter.beeps - beepsBefore);
    main.Form_Unload();
    return 0;
}
