#include "parameter_backup.h"

#include "parameter_file.h"

#include "base/error.h"
#include "base/regular_file.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <sys/stat.h>

namespace orbalis {

QString backupFolder(const QString &programDir)
{
    return programDir + QStringLiteral("/Backups");
}

QString backupFileName(const QDateTime &when, int id)
{
    return when.toString(QStringLiteral("yyMMdd-HHmmss")) + QLatin1Char(' ') + QString::number(id)
        + QStringLiteral(".par");
}

QString backupNamePattern(int id)
{
    return QStringLiteral("*[!0-9]%1.par").arg(id);
}

bool isBackupOf(const QString &fileName, int id)
{
    static const QRegularExpression name(QStringLiteral("^\\d{6}-\\d{6} (\\d+)\\.par$"));
    const QRegularExpressionMatch m = name.match(fileName);
    return m.hasMatch() && m.captured(1) == QString::number(id);
}

QString backupPath(const QString &programDir, const QDateTime &when, int id)
{
    return backupFolder(programDir) + QLatin1Char('/') + backupFileName(when, id);
}

QString freeBackupPath(const QString &programDir, const QDateTime &when, int id)
{
    constexpr int MostSecondsAhead = 60;
    for (int ahead = 0; ahead < MostSecondsAhead; ++ahead) {
        const QString path = backupPath(programDir, when.addSecs(ahead), id);
        if (!QFileInfo::exists(path))
            return path;
    }
    return backupPath(programDir, when.addSecs(MostSecondsAhead), id);
}

void saveBackup(const QString &path, const QStringList &texts)
{
    const QByteArray bytes = buildParameterFile(texts);
    const QString folder = QFileInfo(path).path();
    if (::mkdir(QFile::encodeName(folder).constData(), 0777) != 0 && errno != EEXIST)
        throw withContext(systemFileError(errno), QStringLiteral("cannot make the folder ") + folder);
    writeParameterFile(path, bytes);
}

} // namespace orbalis
