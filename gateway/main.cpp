// orbalis-gateway: the console's line without a window. It reads the program
// folder's "User Setting.ini" as the console does, polls with the same
// cycle, records the chosen slots, keeps the same counters and alarm
// journal, and publishes over MQTT as [mqtt] of Orbalis.ini says.

#include "gateway_log.h"
#include "gateway_options.h"
#include "stop_signals.h"

#include "alarms/alarm_core.h"
#include "base/error_trap.h"
#include "base/program_folder.h"
#include "base/program_lock.h"
#include "base/program_version.h"
#include "core/console_core.h"
#include "core/line_watch.h"
#include "core/quiet_views.h"
#include "core/write_cycle.h"
#include "link/qt_serial_port.h"
#include "mqtt/mosquitto_handle.h"
#include "mqtt/mqtt_bridge.h"
#include "settings/orbalis_ini.h"
#include "state/console.h"

#include <QCoreApplication>
#include <QDir>
#include <csignal>
#include <cstdio>

using namespace orbalis;

namespace {

LogWriter *logWriter = nullptr;

// Qt's own warnings (a record file that cannot be written) go the same way.
void logQtMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (logWriter)
        logWriter->write(message);
}

QString boundSlots(const Console &console)
{
    QStringList bound;
    for (int k = 0; k < SlotCount; ++k)
        if (const int id = console.slots.SlotId[size_t(k)])
            bound << QStringLiteral("%1:%2").arg(k + 1).arg(id);
    return bound.isEmpty() ? QStringLiteral("no slot bound") : QStringLiteral("slots:IDs ") + bound.join(u' ');
}

QString recordedSlots(const Console &console)
{
    QStringList recorded;
    for (int k = 0; k < SlotCount; ++k)
        if (console.slots.Record_Flag[size_t(k)] && console.slots.SlotId[size_t(k)])
            recorded << QString::number(k + 1);
    return recorded.isEmpty() ? QStringLiteral("recording none") : QStringLiteral("recording slots ") + recorded.join(u',');
}

} // namespace

int main(int argc, char *argv[])
{
    // Answered before anything else exists.
    if (printVersionIfAsked(argc, argv, "orbalis-gateway"))
        return 0;
    // A file grown past the size limit must fail its write, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    LogWriter log(stderr, !LogWriter::journalStamps());
    logWriter = &log;
    qInstallMessageHandler(&logQtMessage);
    const auto say = [&log](const QString &line) { log.write(line); };

    const ParsedGatewayOptions parsed = parseGatewayOptions(app.arguments());
    if (!parsed.options) {
        std::fprintf(stderr, "orbalis-gateway: %s\n%s", qPrintable(parsed.error), qPrintable(gatewayUsage()));
        return 2;
    }
    const GatewayOptions &options = *parsed.options;
    if (options.help) {
        std::fputs(qPrintable(gatewayUsage()), stdout);
        return 0;
    }

    Console console;
    if (options.programDir.isEmpty()) {
        console.programDir = programFolder(QCoreApplication::applicationDirPath());
    } else {
        console.programDir = QDir(options.programDir).absolutePath();
        if (!QDir().mkpath(console.programDir)) {
            say(QStringLiteral("the program folder %1 cannot be made").arg(console.programDir));
            return 1;
        }
    }
    ProgramLock lock(console.programDir);
    if (!lock.tryLock()) {
        say(lock.refusal());
        return 1;
    }

    QtSerialPort port{ComPortResolver(console.programDir)};
    LogReporter reporter;
    ConsoleCore core(console, port);
    // After the core: the tracker is told of each reply after the counters.
    AlarmCore alarms(console, core.watch().counters(), reporter);
    ErrorTrap startTrap(reporter, QStringLiteral("Gateway_Start"));
    core.start(startTrap);
    startTrap.step([&] { alarms.start(); });
    for (int k = 0; k < SlotCount; ++k)
        console.slots.Record_Flag[size_t(k)] = options.record[size_t(k)];
    say(QStringLiteral("orbalis-gateway %1 on %2: port %3 at %4 baud, %5, %6")
            .arg(programVersion(), console.programDir, console.settings.serial.Port, console.settings.serial.Baud,
                 boundSlots(console), recordedSlots(console)));

    const MqttSettingsRead mqtt = readMqttSettings(OrbalisIni(console.programDir));
    MqttBridge bridge(console, core);
    bridge.setLog(say);
    alarms.tracker().addObserver(&bridge);
    // Writes asked for over MQTT are kept in the journal's audit trail.
    core.writeCycle().addWriteObserver(&alarms.parameterWrites());
    if (!mqtt.settings.enabled)
        say(QStringLiteral("MQTT is off ([mqtt] enabled=false in %1/Orbalis.ini)").arg(console.programDir));
    bridge.start(mqtt.settings, mqtt.problems);
    if (bridge.running())
        say(QStringLiteral("MQTT to %1, topics %2/...").arg(brokerName(mqtt.settings), QString::fromUtf8(bridge.topics().prefix())));
    LineStateLog lineLog(console, core.watch().counters(), say);

    int stoppedBy = 0;
    StopSignals stopSignals([&](int signal) {
        stoppedBy = signal;
        QCoreApplication::quit();
    });
    QCoreApplication::exec();

    say(QStringLiteral("stopping (%1)").arg(stoppedBy == SIGINT ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM")));
    ErrorTrap stopTrap(reporter, QStringLiteral("Gateway_Stop"));
    // As the console ends: the alarms stop watching before the port closes.
    core.writeCycle().removeWriteObserver(&alarms.parameterWrites());
    alarms.stop();
    // The port closes and the decimal-point codes are saved, then every
    // controller and the line itself go offline.
    core.stop(stopTrap);
    bridge.stop();
    alarms.tracker().removeObserver(&bridge);
    say(QStringLiteral("stopped"));
    qInstallMessageHandler(nullptr);
    logWriter = nullptr;
    return 0;
}
