#include "program_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace orbalis {

namespace {

// Folders of installed programs. Root may write them, but settings and
// records do not belong beside the system's programs.
bool isSystemProgramFolder(const QString &dir)
{
    const QString path = QFileInfo(dir).canonicalFilePath();
    return path == u"/bin" || path == u"/sbin" || path.startsWith(u"/usr/");
}

} // namespace

QString programFolder(const QString &executableDir)
{
    const QFileInfo executableFolder(executableDir);
    if (executableFolder.isDir() && executableFolder.isWritable() && !isSystemProgramFolder(executableDir))
        return executableDir;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return executableDir;   // no home at all: the steps that write report it
    const QString folder = data + QStringLiteral("/Orbalis");
    // A folder that cannot be made shows up as the error of the first file written there.
    QDir().mkpath(folder);
    return folder;
}

} // namespace orbalis
