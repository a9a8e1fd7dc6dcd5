#include "regular_file.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

FileDescriptor::~FileDescriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

FileDescriptor &FileDescriptor::operator=(FileDescriptor &&other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

Error fileError(int err)
{
    return Error(errorNumberForErrno(err), QString::fromLocal8Bit(std::strerror(err)));
}

FileDescriptor openRegularFile(const QString &path, int flags, mode_t mode)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) == 0)
        requireRegularFile(st);
    else if (errno != ENOENT)
        throw fileError(errno);

    // Non-blocking, in case something other than a file took the name since.
    int opened;
    do {
        opened = ::open(name.constData(), flags | O_NONBLOCK | O_CLOEXEC, mode);
    } while (opened < 0 && errno == EINTR);
    if (opened < 0)
        throw fileError(errno);
    FileDescriptor fd(opened);
    if (::fstat(fd.get(), &st) != 0)
        throw fileError(errno);
    requireRegularFile(st);
    return fd;
}

} // namespace orbalis
