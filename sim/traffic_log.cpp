#include "traffic_log.h"

#include <QFile>
#include <QIODevice>

namespace orbalis::sim {

QString formatTrafficLine(const QDateTime &when, Direction direction, const QByteArray &bytes)
{
    return when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"))
           + (direction == Direction::FromConsole ? QStringLiteral(" <- ") : QStringLiteral(" -> "))
           + QString::fromLatin1(bytes.toHex(' ').toUpper());
}

TrafficLog::TrafficLog(std::unique_ptr<QIODevice> sink, Clock clock)
    : sink_(std::move(sink)), clock_(std::move(clock))
{
}

TrafficLog::~TrafficLog() = default;

void TrafficLog::record(Direction direction, const QByteArray &bytes)
{
    if (!sink_ || bytes.isEmpty())
        return;
    sink_->write((formatTrafficLine(clock_(), direction, bytes) + u'\n').toUtf8());
    if (auto *file = qobject_cast<QFile *>(sink_.get()))
        file->flush();
}

} // namespace orbalis::sim
