// The console as main.cpp builds it, with trend windows open: what
// bench/poll_load.py --trend-windows N runs to measure their CPU cost.
//   orbalis-trend-load [--trend-windows N]   opens the trends of the first N bound slots

#include "console/main_window.h"
#include "console/message_box_reporter.h"
#include "link/qt_serial_port.h"
#include "state/console.h"
#include "trend/trend_windows.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    int trendWindows = 0;
    const QStringList args = app.arguments();
    if (const auto i = args.indexOf(QStringLiteral("--trend-windows")); i >= 0 && i + 1 < args.size())
        trendWindows = args[i + 1].toInt();

    orbalis::Console console;
    orbalis::Clock clock;
    console.programDir = QCoreApplication::applicationDirPath();
    console.clock = &clock;

    orbalis::QtSerialPort port{orbalis::ComPortResolver(console.programDir)};
    orbalis::MessageBoxReporter reporter;
    orbalis::FM_Orbalis window(console, port, reporter);
    reporter.setParent(&window);

    window.Form_Load();
    window.show();
    QTimer::singleShot(0, &window, [&] {
        for (int k = 0, opened = 0; k < orbalis::SlotCount && opened < trendWindows; ++k)
            if (window.trends().open(k))
                ++opened;
    });
    return app.exec();
}
