#include "state/console.h"
#include "console/main_window.h"
#include "console/message_box_reporter.h"
#include "link/qt_serial_port.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The main window's end is the program's end, whatever else is open.
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
    return app.exec();
}
