#include "record_file.h"

#include "base/error.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace orbalis {

namespace {

// Far longer than any line written here (the header and a line together stay
// under a kilobyte). A text without a line end that is longer than this is not
// a line cut short, and is kept.
constexpr off_t LongestUnfinishedLine = 4096;

Error fileError(int err)
{
    return Error(errorNumberForErrno(err), QString::fromLocal8Bit(std::strerror(err)));
}

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

// Opening a FIFO waits for a reader, and opening a device may act on it: a
// record file is a regular file or nothing.
void requireRegularFile(const struct stat &st)
{
    if (!S_ISREG(st.st_mode))
        throw Error(PathFileAccess, QStringLiteral("it is %1, not a regular file").arg(kindOf(st.st_mode)));
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

void cutBackTo(int fd, off_t size)
{
    while (::ftruncate(fd, size) != 0) {
        if (errno != EINTR)
            throw fileError(errno);
    }
}

QByteArray readAt(int fd, off_t offset, off_t length)
{
    QByteArray bytes(qsizetype(length), '\0');
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + got, std::size_t(bytes.size() - got), offset + got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw fileError(errno);
        if (n == 0)
            break;
        got += n;
    }
    bytes.truncate(got);
    return bytes;
}

// Appends the bytes whole or not at all; the file ended at `start` before.
void appendWhole(int fd, const QByteArray &bytes, off_t start)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(left));
        if (n > 0) {
            data += n;
            left -= n;
            continue;
        }
        const int err = n == 0 ? ENOSPC : errno;
        if (err == EINTR)
            continue;
        // The part that went in goes again, so that the next line is not
        // glued onto half of this one. Should even that fail, the next open
        // cuts it away.
        try {
            cutBackTo(fd, start);
        } catch (const Error &) {
        }
        throw fileError(err);
    }
}

// Cuts away a last line that lacks its line end; returns the file's new size.
off_t endWithCompleteLine(int fd, off_t size)
{
    if (size == 0)
        return 0;
    const off_t window = std::min(size, LongestUnfinishedLine);
    const QByteArray tail = readAt(fd, size - window, window);
    if (tail.endsWith('\n'))
        return size;
    const qsizetype lastEnd = tail.lastIndexOf('\n');
    if (lastEnd < 0 && size > window) {
        // Not a line of ours cut short: end it instead of losing it.
        appendWhole(fd, QByteArrayLiteral("\r\n"), size);
        return size + 2;
    }
    const off_t complete = size - window + off_t(lastEnd + 1);
    cutBackTo(fd, complete);
    return complete;
}

} // namespace

void appendRecordLine(const QString &path, const QByteArray &header, const QByteArray &line)
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
        opened = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    } while (opened < 0 && errno == EINTR);
    if (opened < 0)
        throw fileError(errno);
    FileDescriptor fd(opened);
    if (::fstat(fd.get(), &st) != 0)
        throw fileError(errno);
    requireRegularFile(st);

    const off_t size = endWithCompleteLine(fd.get(), st.st_size);
    // One write for header and line, so a reader never sees the header alone.
    appendWhole(fd.get(), size == 0 ? header + line : line, size);
    if (::close(fd.release()) != 0)
        throw fileError(errno);
}

} // namespace orbalis
