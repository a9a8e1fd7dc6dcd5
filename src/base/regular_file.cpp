#include "regular_file.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace orbalis {

namespace {

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a directory");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("something else");
}

} // namespace

void requireRegularFile(const struct stat &st)
{
    if (!S_ISREG(st.st_mode))
        throw Error(PathFileAccess, QStringLiteral("it is %1, not a regular file").arg(kindOf(st.st_mode)));
}

Error systemFileError(int err)
{
    return Error(errorNumberForErrno(err), QString::fromLocal8Bit(std::strerror(err)));
}

FileDescriptor::~FileDescriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

FileDescriptor::FileDescriptor(FileDescriptor &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileDescriptor &FileDescriptor::operator=(FileDescriptor &&other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

void FileDescriptor::close()
{
    // The descriptor is gone whatever close says; only the report remains.
    if (fd_ >= 0 && ::close(std::exchange(fd_, -1)) != 0)
        throw systemFileError(errno);
}

RegularFile openRegularFile(const QString &path, int flags)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) == 0)
        requireRegularFile(st);
    else if (errno != ENOENT)
        throw systemFileError(errno);

    // Non-blocking, in case something other than a file took the name since.
    int opened;
    do {
        opened = ::open(name.constData(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    } while (opened < 0 && errno == EINTR);
    if (opened < 0)
        throw systemFileError(errno);
    RegularFile file{FileDescriptor(opened), 0};
    if (::fstat(opened, &st) != 0)
        throw systemFileError(errno);
    requireRegularFile(st);
    file.size = st.st_size;
    return file;
}

QByteArray readAt(int fd, qint64 offset, qsizetype length)
{
    QByteArray bytes(length, '\0');
    qsizetype got = 0;
    while (got < length) {
        const ssize_t n = ::pread(fd, bytes.data() + got, std::size_t(length - got), off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw systemFileError(errno);
        if (n == 0)
            break;
        got += n;
    }
    bytes.truncate(got);
    return bytes;
}

QByteArray readRegularFile(const QString &path, qsizetype limit)
{
    RegularFile file = openRegularFile(path, O_RDONLY);
    QByteArray bytes = readAt(file.fd.get(), 0, limit);
    file.fd.close();
    return bytes;
}

} // namespace orbalis
