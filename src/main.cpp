#include "state/console.h"
#include "console/main_window.h"
#include "console/message_box_reporter.h"
#include "link/qt_serial_port.h"

#include <QApplication>
#include <csignal>

int main(int argc, char *argv[])
{
    // A file grown past the size limit (ulimit -f) must fail its write, which
    // the recording reports, rather than end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    // The main window's end is the program's end, whatever else is open.
    app.setQuitOnLastWindowClosed(false);

    orbalis::Console console;
    console.programDir = QCoreApplication::applicationDirPath();

    orbalis::QtSerialPort port{orbalis::ComPortResolver(console.programDir)};
    orbalis::MessageBoxReporter reporter;
    orbalis::FM_Orbalis window(console, port, reporter);
    reporter.setParent(&window);

    window.Form_Load();
    window.show();
    return app.exec();
}
