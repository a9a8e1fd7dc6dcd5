// The console as src/main.cpp starts it, for bench/poll_load.py: with
// --monitor it also opens "Setting", "Line Monitor", whose traffic view then
// follows the line, scrolling with every frame. With --full-ring the traffic
// ring starts full (10 000 live-value frames with bytes of their own), as
// after eight minutes of polling, so a short run measures a full ring.

#include "console/main_window.h"
#include "console/message_box_reporter.h"
#include "health/line_health.h"
#include "link/frames.h"
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

    if (app.arguments().contains(QStringLiteral("--full-ring"))) {
        orbalis::TrafficRing &ring = window.health().traffic();
        const auto request = orbalis::buildRequest(1, 4, 4096, 30);
        QByteArray reply;
        reply.append(char(1)).append(char(4)).append(char(60)).append(QByteArray(60, '\x11'));
        reply = orbalis::withCrc(reply);
        for (std::size_t i = 0; i < ring.capacity() / 2; ++i) {
            ring.requestSent(orbalis::Exchange::Live, 0, 1,
                             QByteArray(reinterpret_cast<const char *>(request->data()), qsizetype(request->size())));
            ring.replyJudged(orbalis::Exchange::Live, 0, 1, QByteArray(reply.constData(), reply.size()),
                             orbalis::LineOutcome::Good);
        }
    }
    window.Form_Load();
    window.show();
    if (app.arguments().contains(QStringLiteral("--monitor")))
        window.Option_Click(2);
    return app.exec();
}
