#include "record_file.h"

#include "base/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace orbalis {

namespace {

// Far longer than any line written here (the header and a line together stay
// under a kilobyte). A text without a line end that is longer than this is not
// a line cut short, and is kept.
constexpr off_t LongestUnfinishedLine = 4096;

void cutBackTo(int fd, off_t size)
{
    while (::ftruncate(fd, size) != 0) {
        if (errno != EINTR)
            throw systemFileError(errno);
    }
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
        throw systemFileError(err);
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
    RegularFile file = openRegularFile(path, O_RDWR | O_APPEND | O_CREAT);
    const off_t size = endWithCompleteLine(file.fd.get(), file.size);
    // One write for header and line, so a reader never sees the header alone.
    appendWhole(file.fd.get(), size == 0 ? header + line : line, size);
    file.fd.close();
}

} // namespace orbalis
