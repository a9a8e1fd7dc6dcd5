#pragma once

#include "journal_table.h"

#include "base/error.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <optional>
#include <vector>

class QSqlError;

namespace orbalis {

// "Orbalis Journal.db": the SQLite file in the program folder that keeps the
// console's events and audit rows, one table per module. Written with a
// write-ahead log and synchronous=FULL, so a committed row survives the
// program being killed and the machine losing power. PRAGMA user_version
// holds the layout of the file; tables are added by the modules (see
// JournalTable) without changing it.
constexpr int JournalFormatVersion = 1;

QString journalFileName();
QString journalPath(const QString &programDir);

// What opening the journal came to.
struct JournalOpening {
    bool open = false;
    // A journal that could not be used (damaged, or laid out by a newer
    // program) was moved here and a new one started; empty otherwise.
    QString setAsidePath;
    QString whySetAside;
    // Why no journal is open, when none is.
    std::optional<Error> failure;
};

// Opens (creating it when missing) the journal at `path` as the Qt SQL
// connection `connection` of the calling thread, checks it, moves it aside
// under a dated name (see setAsideName) when it is damaged and starts a new
// one, and creates the tables that are missing. The connection is used only
// by the thread that opened it. `knownDamage`: SQLite found the journal
// damaged while writing (what its checks at the opening may not see); it is
// set aside for that reason.
JournalOpening openJournal(const QString &connection, const QString &path, const std::vector<JournalTable> &tables,
                           const QDateTime &now, const QString &knownDamage = {});

// A connection of the calling thread that only reads an existing journal
// (the window's queries); false when there is none to read.
bool openJournalReader(const QString &connection, const QString &path);

// Closes the connection and lets Qt forget it. Every query on it must be gone.
void closeJournalConnection(const QString &connection);

// What SQLite said went wrong.
enum class JournalFault {
    Damaged, // not a database, or a damaged one
    DiskFull,
    Refused, // permissions, a read-only file system
    Busy,    // another program holds a lock
    Other,
};
JournalFault journalFault(const QSqlError &error);
// The error the trap reports for it: 61 disk full, 70 refused, 75 others;
// the detail names the file and says what SQLite said.
Error journalError(const QSqlError &error, const QString &path);

} // namespace orbalis
