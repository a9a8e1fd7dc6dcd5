// The console as src/main.cpp starts it, for bench/poll_load.py: with
// --monitor it also opens "Setting", "Line Monitor", whose traffic view then
// follows the line, scrolling with every frame.

#include "console/main_window.h"
#include "console/message_box_reporter.h"
#include "link/qt_serial_port.h"
#include "state/console.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);

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
    if (app.arguments().contains(QStringLiteral("--monitor")))
        window.Option_Click(2);
    return app.exec();
}
