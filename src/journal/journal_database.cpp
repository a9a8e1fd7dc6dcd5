#include "journal_database.h"

#include "settings/set_aside_name.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <cerrno>
#include <cstdio>

namespace orbalis {

namespace {

// SQLite's primary result codes that matter here.
constexpr int SqlitePerm = 3, SqliteBusy = 5, SqliteLocked = 6, SqliteReadOnly = 8, SqliteCorrupt = 11, SqliteFull = 13,
              SqliteCantOpen = 14, SqliteAuth = 23, SqliteNotADb = 26;

struct Failed {
    QSqlError error;
};

int sqliteCode(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? code & 0xFF : -1;
}

QVariant scalar(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw Failed{q.lastError()};
    return q.next() ? q.value(0) : QVariant();
}

void exec(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw Failed{q.lastError()};
}

// Why an open journal cannot be used as it is; empty when it can.
QString unusableWhy(const QSqlDatabase &db)
{
    const int version = scalar(db, QStringLiteral("PRAGMA user_version")).toInt();
    if (version > JournalFormatVersion)
        return QStringLiteral("it was laid out by a newer version of the program (layout %1, this one knows %2)")
            .arg(version)
            .arg(JournalFormatVersion);
    // Reads every page once: a damaged page is found now, not at some later write.
    const QString check = scalar(db, QStringLiteral("PRAGMA quick_check(1)")).toString();
    if (check != u"ok")
        return QStringLiteral("it is damaged (") + check + u')';
    return {};
}

void createTables(QSqlDatabase &db, const std::vector<JournalTable> &tables)
{
    if (!db.transaction())
        throw Failed{db.lastError()};
    try {
        for (const JournalTable &table : tables)
            for (const QString &statement : table.createStatements())
                exec(db, statement);
        exec(db, QStringLiteral("PRAGMA user_version = %1").arg(JournalFormatVersion));
    } catch (...) {
        db.rollback();
        throw;
    }
    if (!db.commit())
        throw Failed{db.lastError()};
}

// A name beside `wanted` that is not taken: `wanted`, then "-2", "-3", ...
QString freeName(const QString &wanted)
{
    QString name = wanted;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo::exists(name + QStringLiteral("-wal")); ++n)
        name = wanted + u'-' + QString::number(n);
    return name;
}

// Moves the journal and its write-ahead log aside; the shared-memory index
// is rebuilt from them, so it goes. Throws Error when the journal stays.
QString setAside(const QString &path, const QDateTime &now)
{
    const QString aside = freeName(setAsideName(path, now));
    if (std::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) != 0) {
        const int err = errno;
        throw Error(errorNumberForErrno(err),
                    path + QStringLiteral(": the damaged journal cannot be moved to \"") + aside
                        + QStringLiteral("\": ") + qt_error_string(err));
    }
    const QString wal = path + QStringLiteral("-wal");
    if (QFileInfo::exists(wal))
        std::rename(QFile::encodeName(wal).constData(), QFile::encodeName(aside + QStringLiteral("-wal")).constData());
    QFile::remove(path + QStringLiteral("-shm"));
    return aside;
}

} // namespace

QString journalFileName()
{
    return QStringLiteral("Orbalis Journal.db");
}

QString journalPath(const QString &programDir)
{
    return programDir + u'/' + journalFileName();
}

JournalOpening openJournal(const QString &connection, const QString &path, const std::vector<JournalTable> &tables,
                           const QDateTime &now, const QString &knownDamage)
{
    JournalOpening result;
    if (!knownDamage.isEmpty() && QFileInfo::exists(path)) {
        try {
            result.setAsidePath = setAside(path, now);
            result.whySetAside = knownDamage;
        } catch (const Error &e) {
            result.failure = e;
            return result;
        }
    }
    for (int attempt = result.setAsidePath.isEmpty() ? 0 : 1; attempt < 2; ++attempt) {
        QSqlError error;
        QString unusable;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
            try {
                if (!db.open())
                    throw Failed{db.lastError()};
                // The first statement reads the file: one that is no database fails here.
                const QString mode = scalar(db, QStringLiteral("PRAGMA journal_mode=WAL")).toString();
                if (mode.compare(u"wal", Qt::CaseInsensitive) != 0)
                    throw Failed{QSqlError(QStringLiteral("no write-ahead log"),
                                           QStringLiteral("the journal mode stays ") + mode)};
                unusable = unusableWhy(db);
                if (unusable.isEmpty()) {
                    exec(db, QStringLiteral("PRAGMA synchronous=FULL"));
                    createTables(db, tables);
                    result.open = true;
                    return result;
                }
            } catch (const Failed &f) {
                error = f.error;
            }
        }
        closeJournalConnection(connection);
        const bool damaged = !unusable.isEmpty() || journalFault(error) == JournalFault::Damaged;
        if (!damaged || attempt > 0) {
            result.failure = unusable.isEmpty() ? journalError(error, path)
                                                : Error(PathFileAccess, path + QStringLiteral(": ") + unusable);
            return result;
        }
        try {
            result.whySetAside = unusable.isEmpty()
                ? QStringLiteral("it is not a database SQLite can read (") + error.databaseText() + u')'
                : unusable;
            result.setAsidePath = setAside(path, now);
        } catch (const Error &e) {
            result.failure = e;
            return result;
        }
    }
    return result;
}

bool openJournalReader(const QString &connection, const QString &path)
{
    if (!QFileInfo(path).isFile())
        return false;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
    return db.open();
}

void closeJournalConnection(const QString &connection)
{
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

JournalFault journalFault(const QSqlError &error)
{
    switch (sqliteCode(error)) {
    case SqliteCorrupt:
    case SqliteNotADb: return JournalFault::Damaged;
    case SqliteFull: return JournalFault::DiskFull;
    case SqlitePerm:
    case SqliteReadOnly:
    case SqliteAuth: return JournalFault::Refused;
    case SqliteBusy:
    case SqliteLocked: return JournalFault::Busy;
    default: return JournalFault::Other;
    }
}

Error journalError(const QSqlError &error, const QString &path)
{
    QString said = error.databaseText();
    if (said.isEmpty())
        said = error.driverText();
    const QString detail = path + QStringLiteral(": ") + said;
    switch (journalFault(error)) {
    case JournalFault::DiskFull: return Error(DiskFull, detail);
    case JournalFault::Refused: return Error(PermissionDenied, detail);
    default: break;
    }
    if (sqliteCode(error) == SqliteCantOpen) {
        // SQLite does not say why; the folder and the file do.
        const QFileInfo file(path);
        if ((file.exists() && !file.isWritable()) || (!file.exists() && !QFileInfo(file.path()).isWritable()))
            return Error(PermissionDenied, detail);
    }
    return Error(PathFileAccess, detail);
}

} // namespace orbalis
