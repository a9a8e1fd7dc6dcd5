#include "program_lock.h"

#include <QDir>

namespace orbalis {

ProgramLock::ProgramLock(const QString &programDir)
    : programDir_(QDir(programDir).absolutePath()), file_(QDir(programDir).filePath(fileName()))
{
    // Stale only when its process is gone, however long a program runs.
    file_.setStaleLockTime(0);
}

bool ProgramLock::tryLock()
{
    refusal_.clear();
    if (file_.tryLock(0))
        return true;
    if (file_.error() != QLockFile::LockFailedError)
        return true;
    qint64 pid = 0;
    QString host;
    QString program;
    const bool known = file_.getLockInfo(&pid, &host, &program);
    const QString holder = known ? QStringLiteral("%1, process %2 on %3")
                                       .arg(program.isEmpty() ? QStringLiteral("a program") : program)
                                       .arg(pid)
                                       .arg(host)
                                 : QStringLiteral("a program that holds ") + fileName();
    refusal_ = QStringLiteral("Another Orbalis console or gateway (%1) already uses the program folder %2. "
                              "Two programs must never write its settings and record files at once: stop the "
                              "other one first, or give this one a folder of its own.")
                   .arg(holder, QDir::toNativeSeparators(programDir_));
    return false;
}

} // namespace orbalis
