#include "journal_writer.h"

#include <QSqlError>
#include <QSqlQuery>
#include <atomic>
#include <memory>

namespace orbalis {

namespace {

// A transaction holds at most this many rows: a flood is written in a few
// commits, and a failing batch does not grow without end.
constexpr std::size_t MostInOneCommit = 2000;

QString uniqueConnectionName()
{
    static std::atomic<int> next{0};
    return QStringLiteral("orbalis-journal-writer-") + QString::number(++next);
}

} // namespace

JournalWriter::JournalWriter(QString path, const Clock &clock, QObject *parent)
    : QObject(parent), path_(std::move(path)), clock_(clock), connection_(uniqueConnectionName())
{}

JournalWriter::~JournalWriter()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void JournalWriter::addTable(JournalTable table)
{
    if (started())
        return;
    inserts_.push_back(table.insertStatement());
    tables_.push_back(std::move(table));
}

void JournalWriter::start()
{
    if (started())
        return;
    thread_ = std::thread([this] { run(); });
}

void JournalWriter::append(const QString &table, QVariantList values)
{
    std::size_t index = 0;
    while (index < tables_.size() && tables_[index].name != table)
        ++index;
    if (index == tables_.size())
        return; // not declared: a fault of the caller, not of the journal
    {
        std::lock_guard lock(mutex_);
        ++appended_;
        waiting_.push_back({index, std::move(values)});
        if (waiting_.size() > MostWaiting) {
            waiting_.pop_front();
            ++dropped_;
            ++done_;
        }
    }
    wake_.notify_one();
}

bool JournalWriter::flush(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    const std::uint64_t target = appended_;
    if (!started())
        return done_ >= target;
    progress_.wait_for(lock, timeout, [&] { return done_ >= target || failing_; });
    return done_ >= target;
}

std::uint64_t JournalWriter::committedRows() const
{
    std::lock_guard lock(mutex_);
    return committed_;
}

std::uint64_t JournalWriter::droppedRows() const
{
    std::lock_guard lock(mutex_);
    return dropped_;
}

void JournalWriter::run()
{
    std::unique_lock lock(mutex_);
    // Opened at once, so that a damaged journal is set aside and the user
    // told at the start, not at the first alarm.
    lock.unlock();
    const bool openedAtStart = ensureOpen();
    lock.lock();
    failing_ = !openedAtStart;
    progress_.notify_all();
    for (;;) {
        if (failing_ && !stopping_)
            wake_.wait_for(lock, retry_, [&] { return stopping_; });
        else
            wake_.wait(lock, [&] { return stopping_ || !waiting_.empty(); });
        if (waiting_.empty()) {
            if (stopping_)
                break;
            if (failing_) {
                lock.unlock();
                const bool ok = ensureOpen();
                lock.lock();
                failing_ = !ok;
            }
            continue;
        }
        const std::size_t n = std::min(waiting_.size(), MostInOneCommit);
        std::vector<Row> batch(std::make_move_iterator(waiting_.begin()),
                               std::make_move_iterator(waiting_.begin() + std::ptrdiff_t(n)));
        waiting_.erase(waiting_.begin(), waiting_.begin() + std::ptrdiff_t(n));
        lock.unlock();
        bool ok = ensureOpen() && write(batch);
        // A journal found damaged while writing is set aside now; the batch
        // goes into the new one.
        if (!ok && !open_)
            ok = ensureOpen() && write(batch);
        lock.lock();
        if (ok) {
            committed_ += n;
            done_ += n;
            failing_ = false;
            const std::uint64_t rows = committed_;
            lock.unlock();
            Q_EMIT committed(rows);
            lock.lock();
        } else if (stopping_) {
            // The end, and the journal cannot take them: what waits is lost.
            dropped_ += n + waiting_.size();
            done_ += n + waiting_.size();
            waiting_.clear();
            const std::uint64_t rows = dropped_;
            lock.unlock();
            Q_EMIT dropped(rows);
            lock.lock();
        } else {
            for (auto row = batch.rbegin(); row != batch.rend(); ++row)
                waiting_.push_front(std::move(*row));
            failing_ = true;
        }
        progress_.notify_all();
    }
    lock.unlock();
    closeConnection();
}

bool JournalWriter::ensureOpen()
{
    if (open_)
        return true;
    const JournalOpening opening = openJournal(connection_, path_, tables_, clock_.now(), damagedWhileWriting_);
    damagedWhileWriting_.clear();
    if (!opening.open) {
        reportFailure(opening.failure.value_or(Error(PathFileAccess, path_)));
        return false;
    }
    const QSqlDatabase db = QSqlDatabase::database(connection_, false);
    for (const QString &insert : inserts_) {
        auto query = std::make_unique<QSqlQuery>(db);
        if (!query->prepare(insert)) {
            const Error e = journalError(query->lastError(), path_);
            prepared_.clear();
            closeJournalConnection(connection_);
            reportFailure(e);
            return false;
        }
        prepared_.push_back(std::move(query));
    }
    open_ = true;
    lastFailure_.clear();
    Q_EMIT opened(opening.setAsidePath, opening.whySetAside);
    return true;
}

bool JournalWriter::write(const std::vector<Row> &batch)
{
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlError error;
    if (db.transaction()) {
        for (const Row &row : batch) {
            QSqlQuery &insert = *prepared_[row.table];
            for (qsizetype i = 0; i < row.values.size(); ++i)
                insert.bindValue(int(i), row.values[i]);
            if (!insert.exec()) {
                error = insert.lastError();
                break;
            }
        }
        if (!error.isValid() && db.commit()) {
            lastFailure_.clear();
            return true;
        }
        if (!error.isValid())
            error = db.lastError();
        db.rollback();
    } else {
        error = db.lastError();
    }
    if (journalFault(error) == JournalFault::Damaged) {
        // The next opening sets it aside, whatever its checks find.
        damagedWhileWriting_ = QStringLiteral("SQLite found it damaged while writing (") + error.databaseText() + u')';
        closeConnection();
    }
    reportFailure(journalError(error, path_));
    return false;
}

void JournalWriter::closeConnection()
{
    prepared_.clear();
    if (open_ || QSqlDatabase::contains(connection_))
        closeJournalConnection(connection_);
    open_ = false;
}

void JournalWriter::reportFailure(const Error &e)
{
    const QString key = QString::number(e.number()) + u' ' + e.detail();
    if (key == lastFailure_)
        return;
    lastFailure_ = key;
    Q_EMIT failed(e.number(), e.detail());
}

} // namespace orbalis
