#pragma once

#include "journal_database.h"
#include "journal_table.h"

#include "base/clock.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QSqlQuery;

namespace orbalis {

// Writes rows into the journal on a thread of its own, with its own
// connection: a commit with synchronous=FULL waits for the disk (milliseconds,
// far longer on a busy disk), and the polling must never wait for it.
// Whoever appends gets back at once; the thread commits everything that
// waits in one transaction, so a burst of rows costs one wait for the disk.
//
// A journal that cannot be opened or written keeps its rows waiting (at
// most MostWaiting, the oldest go first) and is tried again every 5 s;
// a damaged one is set aside and a new one started (see openJournal).
class JournalWriter : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t MostWaiting = 100'000;
    static constexpr int DefaultRetryMs = 5000;

    // `clock` names a set-aside journal; it outlives this.
    explicit JournalWriter(QString path, const Clock &clock = systemClock(), QObject *parent = nullptr);
    // Commits what waits (trying once more where the journal failed), then
    // closes the journal.
    ~JournalWriter() override;
    JournalWriter(const JournalWriter &) = delete;
    JournalWriter &operator=(const JournalWriter &) = delete;

    // Tables are declared before start(); each module declares its own.
    void addTable(JournalTable table);
    // How long a failing journal rests before it is tried again; before start().
    void setRetryInterval(std::chrono::milliseconds interval) { retry_ = interval; }
    // Opens the journal on the writer's thread. Rows appended earlier wait.
    void start();
    bool started() const { return thread_.joinable(); }

    // Queues one row of a declared table, one value per column. Thread-safe;
    // never waits for the disk.
    void append(const QString &table, QVariantList values);

    // Waits until every row appended before the call is committed or the
    // writer gave up on it (failing journal: no). False when the time ran out
    // or rows are still waiting. For tests, benchmarks and the end.
    bool flush(std::chrono::milliseconds timeout);

    const QString &path() const { return path_; }
    std::uint64_t committedRows() const;
    std::uint64_t droppedRows() const;

Q_SIGNALS:
    // All emitted on the writer's thread: a receiver that lives elsewhere
    // gets them queued.
    // The journal is open, a new file when setAsidePath is not empty.
    void opened(const QString &setAsidePath, const QString &whySetAside);
    // Rows are on the disk; committedRows counts all committed since the start.
    void committed(quint64 committedRows);
    // The journal cannot be opened or written; rows wait and are tried again.
    // Emitted once per failure, not at every retry.
    void failed(int errorNumber, const QString &detail);
    // Rows were dropped because too many waited.
    void dropped(quint64 droppedRows);

private:
    struct Row {
        std::size_t table; // index into tables_
        QVariantList values;
    };

    void run();
    bool ensureOpen();
    // Writes the batch in one transaction; false when it failed (the batch is kept).
    bool write(const std::vector<Row> &batch);
    void closeConnection();
    void reportFailure(const Error &e);

    const QString path_;
    const Clock &clock_;
    const QString connection_;
    std::vector<JournalTable> tables_;
    std::chrono::milliseconds retry_{DefaultRetryMs};
    std::vector<QString> inserts_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;     // rows or a stop for the thread
    std::condition_variable progress_; // rows committed, for flush()
    std::deque<Row> waiting_;
    bool stopping_ = false;
    std::uint64_t appended_ = 0; // rows ever appended
    std::uint64_t done_ = 0;     // rows committed or dropped
    std::uint64_t committed_ = 0;
    std::uint64_t dropped_ = 0;
    bool failing_ = false; // the last attempt failed; retry later

    // The thread's own.
    bool open_ = false;
    QString damagedWhileWriting_;                      // set aside at the next opening
    std::vector<std::unique_ptr<QSqlQuery>> prepared_; // one insert per table; they go before the connection
    QString lastFailure_;
    std::thread thread_;
};

} // namespace orbalis
