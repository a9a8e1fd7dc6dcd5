// The console as src/main.cpp starts it, for bench/poll_load.py, with what
// is measured against the plain console:
//   --monitor           opens "Setting", "Line Monitor", whose traffic view
//                       then follows the line, scrolling with every frame;
//   --full-ring         the traffic ring starts full (10 000 live-value frames
//                       with bytes of their own), as after eight minutes of
//                       polling, so a short run measures a full ring;
//   --trend-windows N   opens the trend windows of the first N bound slots.

#include "console/main_window.h"
#include "console/message_box_reporter.h"
#include "health/line_health.h"
#include "link/frames.h"
#include "link/qt_serial_port.h"
#include "state/console.h"
#include "trend/trend_windows.h"

#include <QApplication>
#include <QTimer>

namespace {

void fillRing(orbalis::TrafficRing &ring)
{
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

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    const QStringList args = app.arguments();
    int trendWindows = 0;
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

    if (args.contains(QStringLiteral("--full-ring")))
        fillRing(window.health().traffic());
    window.Form_Load();
    window.show();
    if (args.contains(QStringLiteral("--monitor")))
        window.Option_Click(2);
    QTimer::singleShot(0, &window, [&] {
        for (int k = 0, opened = 0; k < orbalis::SlotCount && opened < trendWindows; ++k)
            if (window.trends().open(k))
                ++opened;
    });
    return app.exec();
}
