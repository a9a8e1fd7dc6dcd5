#include "state/console.h"
#include "console/main_window.h"
#include "console/message_box_reporter.h"
#include "link/qt_serial_port.h"
#include "base/program_folder.h"
#include "base/program_lock.h"
#include "base/program_version.h"

#include <QApplication>
#include <QMessageBox>
#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    // Answered before any window exists, so it works without a display.
    if (orbalis::printVersionIfAsked(argc, argv, "orbalis"))
        return 0;
    // A file grown past the size limit (ulimit -f) must fail its write, which
    // the recording reports, rather than end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    // The main window's end is the program's end, whatever else is open.
    app.setQuitOnLastWindowClosed(false);

    orbalis::Console console;
    console.programDir = orbalis::programFolder(QCoreApplication::applicationDirPath());
    // A gateway or another console on the same folder would write its files too.
    orbalis::ProgramLock lock(console.programDir);
    if (!lock.tryLock()) {
        std::fprintf(stderr, "orbalis: %s\n", qPrintable(lock.refusal()));
        QMessageBox::warning(nullptr, QStringLiteral("Orbalis"), lock.refusal());
        return 1;
    }

    orbalis::QtSerialPort port{orbalis::ComPortResolver(console.programDir)};
    orbalis::MessageBoxReporter reporter;
    orbalis::FM_Orbalis window(console, port, reporter);
    reporter.setParent(&window);

    window.Form_Load();
    window.show();
    return app.exec();
}
