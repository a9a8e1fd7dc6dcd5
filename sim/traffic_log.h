#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

class QIODevice;

namespace orbalis::sim {

enum class Direction { FromConsole, ToConsole };

// "2024-05-01T12:00:00.123 <- 01 04 10 00 00 1E 74 C2": local time with
// milliseconds, "<-" for a request, "->" for what the simulator sent.
QString formatTrafficLine(const QDateTime &when, Direction direction, const QByteArray &bytes);

// Writes one line per frame to a device; each line is flushed as it is written.
class TrafficLog {
public:
    using Clock = std::function<QDateTime()>;
    TrafficLog(std::unique_ptr<QIODevice> sink, Clock clock);
    ~TrafficLog();

    void record(Direction direction, const QByteArray &bytes);

private:
    std::unique_ptr<QIODevice> sink_;
    Clock clock_;
};

} // namespace orbalis::sim
