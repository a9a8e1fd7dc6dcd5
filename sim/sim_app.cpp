#include "sim_app.h"

#include "controller_bank.h"
#include "controller_registers.h"
#include "line_engine.h"
#include "line_server.h"
#include "options.h"
#include "settings_seed.h"
#include "traffic_log.h"

#include "base/error.h"
#include "link/pseudo_terminal.h"

#include <QDir>
#include <QFile>
#include <atomic>
#include <bit>
#include <csignal>
#include <cstdio>

namespace orbalis::sim {

namespace {

std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onStopSignal(int)
{
    stopRequested.store(true);
}

void installStopHandlers()
{
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;   // no restart: poll() returns at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

void say(std::FILE *stream, const QString &text)
{
    std::fputs(qPrintable(text + u'\n'), stream);
    std::fflush(stream);
}

std::unique_ptr<TrafficLog> openLog(const QString &path)
{
    auto file = std::make_unique<QFile>();
    const bool ok = path == u"-" ? file->open(stdout, QIODevice::WriteOnly, QFile::DontCloseHandle)
                                 : (file->setFileName(path),
                                    file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text));
    if (!ok)
        throw Error(PathFileAccess, path + QStringLiteral(": ") + file->errorString());
    return std::make_unique<TrafficLog>(std::move(file), [] { return QDateTime::currentDateTime(); });
}

int serve(const SimOptions &o)
{
    ControllerBank bank(o.ids, o.seed);
    // 61 answers at 2400 baud, each code above at twice the rate.
    const int baudCode = reg::BAUD_2400 + std::countr_zero(unsigned(o.baud / 2400));
    for (const int id : o.ids) {
        ControllerModel *controller = bank.servedAs(id);
        controller->writeHolding(reg::BAUD, std::uint16_t(baudCode));
        controller->applyLinkSettings();
    }
    for (const auto &[id, code] : o.errors)
        bank.servedAs(id)->setErrorCode(code);
    for (const auto &[id, address] : o.refusedWrites)
        bank.servedAs(id)->refuseWritesTo(address);
    for (const auto &[id, address] : o.alteredWrites)
        bank.servedAs(id)->alterWritesTo(address);
    for (const SimOptions::Blink &b : o.blinks)
        bank.servedAs(b.id)->setLampBlink(b.lamp, b.periodMs / 1000.0);
    std::unique_ptr<TrafficLog> log = o.logPath.isEmpty() ? nullptr : openLog(o.logPath);
    LineEngine engine(bank, {o.turnaround, o.faults, o.seed, o.replyDelay}, log.get());

    // Handlers first: a stop that comes while the link is made still removes it.
    installStopHandlers();
    PseudoTerminal terminal;
    terminal.bindAs(o.programDir, o.com);
    say(stdout, QStringLiteral("orbalis-sim: COM%1 -> %2, controllers %3")
                    .arg(o.com)
                    .arg(terminal.slavePath(), formatIdList(o.ids)));

    LineServer server(terminal, engine);
    server.run(stopRequested);
    terminal.close();   // removes the ports/COMn link
    return 0;
}

} // namespace

int runSimulator(const QStringList &arguments, const QString &defaultProgramDir)
{
    const ParsedOptions parsed = parseOptions(arguments, defaultProgramDir);
    if (!parsed.options) {
        say(stderr, QStringLiteral("orbalis-sim: %1\nTry 'orbalis-sim --help'.").arg(parsed.error));
        return 2;
    }
    const SimOptions &o = *parsed.options;
    if (o.help) {
        std::fputs(qPrintable(usageText()), stdout);
        return 0;
    }
    try {
        if (o.initSettings) {
            const QString path = QDir(o.programDir).filePath(QStringLiteral("User Setting.ini"));
            if (writeInitialSettings(o.programDir, o.ids))
                say(stdout, QStringLiteral("orbalis-sim: wrote %1 (slots bound to controllers %2)")
                                .arg(path, formatIdList(o.ids)));
            else
                say(stdout, QStringLiteral("orbalis-sim: %1 exists, left as it is").arg(path));
            return 0;
        }
        return serve(o);
    } catch (const Error &e) {
        say(stderr, QStringLiteral("orbalis-sim: error %1: %2").arg(e.number()).arg(e.description()));
        return 1;
    } catch (const std::exception &e) {
        say(stderr, QStringLiteral("orbalis-sim: %1").arg(QString::fromLocal8Bit(e.what())));
        return 1;
    }
}

} // namespace orbalis::sim
