#include "settings_store.h"

#include "base/error.h"
#include "base/regular_file.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace orbalis {

// POSIX calls rather than QFile: the error numbers the user sees come from
// errno, and positioned reads and writes keep every record at its own place.
struct SettingsFile::Impl {
    QString path;
    int fd = -1;
    bool writable = false;
    // Why the file could not be opened for writing, when it was opened read-only.
    std::optional<Error> writeRefusal;

    Error fileError(int err, const QString &what) const
    {
        return withContext(systemFileError(err), QStringLiteral("%1 \"%2\"").arg(what, path));
    }

    QByteArray nativePath() const { return QFile::encodeName(path); }

    void requireOpen() const
    {
        if (fd < 0)
            throw Error(BadFileName, QStringLiteral("\"%1\" is not open").arg(path));
    }

    static void requireRecordNumber(int n)
    {
        if (n < 1 || n > SettingsRecordCount)
            throw Error(SubscriptOutOfRange, QStringLiteral("record %1").arg(n));
    }
};

SettingsFile::SettingsFile(QString path) : d(new Impl)
{
    d->path = std::move(path);
}

SettingsFile::~SettingsFile()
{
    close();
    delete d;
}

void SettingsFile::open()
{
    close();
    const QByteArray native = d->nativePath();
    int fd;
    do {
        fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        throw d->fileError(errno, QStringLiteral("cannot open"));
    d->fd = fd;
    d->writable = true;
}

void SettingsFile::openReadOnly()
{
    close();
    const QByteArray native = d->nativePath();
    // Learn first why writing is refused, to report it if a write is tried.
    int probe = ::open(native.constData(), O_RDWR | O_CLOEXEC);
    if (probe >= 0) {
        ::close(probe);
    } else {
        d->writeRefusal = d->fileError(errno, QStringLiteral("cannot write"));
    }
    int fd;
    do {
        fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        throw d->fileError(errno, QStringLiteral("cannot open"));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw d->fileError(EISDIR, QStringLiteral("cannot open"));
    }
    d->fd = fd;
    d->writable = false;
}

bool SettingsFile::isOpen() const
{
    return d->fd >= 0;
}

bool SettingsFile::isWritable() const
{
    return d->fd >= 0 && d->writable;
}

void SettingsFile::close()
{
    if (d->fd >= 0)
        ::close(d->fd);
    d->fd = -1;
    d->writable = false;
    d->writeRefusal.reset();
}

QByteArray SettingsFile::readRecord(int n)
{
    Impl::requireRecordNumber(n);
    d->requireOpen();
    QByteArray record(RecordSize, '\0');
    const off_t start = off_t(n - 1) * RecordSize;
    qsizetype got = 0;
    while (got < RecordSize) {
        const ssize_t r = ::pread(d->fd, record.data() + got, size_t(RecordSize - got), start + got);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw d->fileError(errno, QStringLiteral("cannot read record %1 of").arg(n));
        }
        if (r == 0)
            break;   // end of file: the rest of the record is not there
        got += r;
    }
    record.truncate(got);
    return record;
}

void SettingsFile::writeRecord(int n, const QByteArray &record)
{
    Impl::requireRecordNumber(n);
    if (record.size() != RecordSize)
        throw Error(BadRecordLength,
                    QStringLiteral("record %1 has %2 bytes, not %3").arg(n).arg(record.size()).arg(RecordSize));
    d->requireOpen();
    if (!d->writable) {
        if (d->writeRefusal)
            throw *d->writeRefusal;
        throw d->fileError(EBADF, QStringLiteral("cannot write record %1 of").arg(n));
    }
    const off_t start = off_t(n - 1) * RecordSize;
    qsizetype put = 0;
    while (put < RecordSize) {
        const ssize_t w = ::pwrite(d->fd, record.constData() + put, size_t(RecordSize - put), start + put);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            throw d->fileError(errno, QStringLiteral("cannot write record %1 of").arg(n));
        }
        if (w == 0)   // no progress and no reason: treat as a full disk
            throw d->fileError(ENOSPC, QStringLiteral("cannot write record %1 of").arg(n));
        put += w;
    }
}

QString SettingsFile::keepCopy(const QString &wanted)
{
    d->requireOpen();
    QString copy;
    auto copyError = [&](int err) {
        return Error(errorNumberForErrno(err), QStringLiteral("cannot keep a copy of \"%1\" as \"%2\": %3")
                                                   .arg(d->path, copy, qt_error_string(err)));
    };
    constexpr int MostNames = 1000;
    int out = -1;
    for (int n = 1; out < 0; ++n) {
        copy = n == 1 ? wanted : wanted + QLatin1Char('-') + QString::number(n);
        out = ::open(QFile::encodeName(copy).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (out < 0 && ((errno != EEXIST && errno != EINTR) || n == MostNames))
            throw copyError(errno);
    }
    // A copy that is not whole is no copy.
    auto failed = [&](int err) {
        ::close(out);
        ::unlink(QFile::encodeName(copy).constData());
        return copyError(err);
    };
    QByteArray chunk(64 * 1024, '\0');
    off_t at = 0;
    for (;;) {
        const ssize_t got = ::pread(d->fd, chunk.data(), size_t(chunk.size()), at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw failed(errno);
        if (got == 0)
            break;
        for (ssize_t put = 0; put < got;) {
            const ssize_t w = ::write(out, chunk.constData() + put, size_t(got - put));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                throw failed(w < 0 ? errno : ENOSPC);
            put += w;
        }
        at += got;
    }
    // On the disk before the file it keeps is rewritten.
    if (::fsync(out) != 0)
        throw failed(errno);
    if (::close(out) != 0) {
        const int err = errno;
        ::unlink(QFile::encodeName(copy).constData());
        throw copyError(err);
    }
    return copy;
}

} // namespace orbalis
