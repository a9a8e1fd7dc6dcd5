#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace orbalis {

// Backups of a controller's parameters, taken before every download: ordinary
// parameter files in the folder "Backups" of the program folder, named
// "yymmdd-hhmmss ID.par" by the local time of the read ("240501-120000 5.par").

QString backupFolder(const QString &programDir);
QString backupFileName(const QDateTime &when, int id);
// Only the backups of controller `id`: names ending in a blank and the ID
// (written without a blank, which a file dialog's filter cannot hold), so
// that ID 1 does not list the backups of ID 11.
QString backupNamePattern(int id);
bool isBackupOf(const QString &fileName, int id);

// The path of the backup of controller `id` read at `when`.
QString backupPath(const QString &programDir, const QDateTime &when, int id);
// The same, where no backup is yet: a backup is never replaced by the next
// one read within the same second, which takes the next free second instead.
QString freeBackupPath(const QString &programDir, const QDateTime &when, int id);

// Saves the 109 texts of a read as the backup `path`. Its folder is created
// when it is missing; the file is saved whole or not at all. Throws Error
// with the system's reason.
void saveBackup(const QString &path, const QStringList &texts);

} // namespace orbalis
