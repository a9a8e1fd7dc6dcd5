#pragma once

#include "mqtt/availability_watch.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>

namespace orbalis {

struct Console;

// Log lines on standard error, whole lines from any thread, with the local
// time in front unless the service manager's journal stamps them itself.
class LogWriter {
public:
    LogWriter(std::FILE *out, bool stamped);
    void write(const QString &line);
    // Standard error goes to the journal (JOURNAL_STREAM is set).
    static bool journalStamps();

private:
    std::FILE *out_;
    bool stamped_;
    std::mutex mutex_;
};

// Watches the line for what is worth a log line, and only that: the port
// opened, lost and back; a controller answering and silent (while the port
// is there: a lost port says it for all of them). Never a line per poll.
class LineStateLog : public QObject {
    Q_OBJECT
public:
    static constexpr int LookMs = 250;

    // Both outlive the log.
    LineStateLog(const Console &console, const LineCounters &counters, std::function<void(const QString &)> write,
                 QObject *parent = nullptr);

    // What the timer runs; tests call it directly.
    void look();

    static QString controllerWords(const Console &console, std::uint8_t id);

private:
    void lookAtPort();

    const Console &console_;
    AvailabilityWatch controllers_;
    std::function<void(const QString &)> write_;
    std::optional<bool> portOpen_;
    bool everOpen_ = false;
    QTimer timer_;
};

} // namespace orbalis
