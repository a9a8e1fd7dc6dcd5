#include "gateway_log.h"

#include "state/console.h"

#include <QDateTime>

namespace orbalis {

LogWriter::LogWriter(std::FILE *out, bool stamped) : out_(out), stamped_(stamped) {}

bool LogWriter::journalStamps()
{
    return !qEnvironmentVariableIsEmpty("JOURNAL_STREAM");
}

void LogWriter::write(const QString &line)
{
    QByteArray text;
    if (stamped_)
        text = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")).toUtf8();
    text += line.toUtf8() + '\n';
    std::lock_guard lock(mutex_);
    std::fwrite(text.constData(), 1, size_t(text.size()), out_);
    std::fflush(out_);
}

LineStateLog::LineStateLog(const Console &console, const LineCounters &counters,
                           std::function<void(const QString &)> write, QObject *parent)
    : QObject(parent), console_(console), controllers_(console, counters), write_(std::move(write))
{
    timer_.setInterval(LookMs);
    connect(&timer_, &QTimer::timeout, this, &LineStateLog::look);
    timer_.start();
}

QString LineStateLog::controllerWords(const Console &console, std::uint8_t id)
{
    for (int k = 0; k < SlotCount; ++k)
        if (console.slots.SlotId[size_t(k)] == id) {
            const QString name = console.settings.panel.NameText[size_t(k)].trimmed();
            return QStringLiteral("controller %1 (slot %2%3)")
                .arg(id)
                .arg(k + 1)
                .arg(name.isEmpty() || name == u"---" ? QString() : QStringLiteral(", ") + name);
        }
    return QStringLiteral("controller %1").arg(id);
}

void LineStateLog::lookAtPort()
{
    const QString &portName = console_.settings.serial.Port;
    const SerialPort *port = console_.line.port();
    const bool open = port && port->PortOpen();
    if (portOpen_ && *portOpen_ == open)
        return;
    const bool first = !portOpen_;
    portOpen_ = open;
    const QString device = port ? port->boundDevice().name : QString();
    const QString on = device.isEmpty() ? QString() : QStringLiteral(": ") + device;
    if (open) {
        write_(QStringLiteral("port ") + portName + (everOpen_ ? QStringLiteral(" back") : QStringLiteral(" opened"))
               + on);
        everOpen_ = true;
    } else if (portName == u"CLOSE") {
        if (first)
            write_(QStringLiteral("port CLOSE: nothing is polled (\"User Setting.ini\" names no port)"));
    } else if (everOpen_) {
        write_(QStringLiteral("port ") + portName + QStringLiteral(" lost") + on
               + QStringLiteral("; opened again when it is back"));
    } else {
        write_(QStringLiteral("port ") + portName + QStringLiteral(" not open; waiting for it"));
    }
}

void LineStateLog::look()
{
    lookAtPort();
    for (const AvailabilityChange &change : controllers_.look()) {
        if (change.now == Availability::Online)
            write_(controllerWords(console_, change.id) + QStringLiteral(" answering"));
        else if (change.now == Availability::Offline && change.why != OldValues::PortClosed)
            write_(controllerWords(console_, change.id) + QStringLiteral(" silent: ") + oldValuesWord(change.why));
    }
}

} // namespace orbalis
