#include "replace_file.h"

#include "error.h"
#include "regular_file.h"

#include <QSaveFile>
#include <cerrno>
#include <unistd.h>

namespace orbalis {

namespace {

// The system's reason where it gave one, else Qt's own account.
[[noreturn]] void fail(QSaveFile &file, int err)
{
    const QFileDevice::FileError kind = file.error();
    const QString reason = file.errorString();
    file.cancelWriting();
    if (err != 0)
        throw systemFileError(err);
    throw Error(kind == QFileDevice::PermissionsError ? PermissionDenied : PathFileAccess, reason);
}

} // namespace

void replaceFile(const QString &path, const QByteArray &bytes)
{
    requireRegularFileOrNothing(path);
    QSaveFile file(path);
    // Unbuffered, so that every write reaches the system here and its result
    // is seen. Bytes left in Qt's buffer would be written inside commit(),
    // which does not look at that result: a disk that fills up there puts the
    // short temporary file in place of the old one and reports success.
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail(file, errno);
    for (qsizetype done = 0; done < bytes.size();) {
        errno = 0;
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            fail(file, n == 0 && errno == 0 ? ENOSPC : errno);
        done += qsizetype(n);
    }
    errno = 0;
    if (!file.flush())
        fail(file, errno);
    // commit() syncs too, but ignores a failure; a file system that reports a
    // full disk only when the data goes out reports it here.
    if (::fsync(file.handle()) != 0 && errno != EINVAL)
        fail(file, errno);
    errno = 0;
    if (!file.commit())
        fail(file, errno);
}

} // namespace orbalis
