#pragma once

#include "error.h"

#include <QByteArray>
#include <QString>
#include <sys/types.h>

struct stat;

namespace orbalis {

// The Error of a failed system call on a file: its number by the errno, the
// system's own reason as the detail.
Error systemFileError(int err);

// A file descriptor that is closed when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor &&other) noexcept;
    FileDescriptor &operator=(FileDescriptor &&other) noexcept;
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return fd_; }
    // Closes it now, throwing what close reports.
    void close();

private:
    int fd_;
};

// Throws Error 75 "it is a FIFO, not a regular file" (a directory, a device,
// ...) unless `st` is of a regular file.
void requireRegularFile(const struct stat &st);

// A regular file opened by openRegularFile, with its size at opening.
struct RegularFile {
    FileDescriptor fd;
    off_t size = 0;
};

// Opens `path` with the open flags `flags` (O_RDONLY, O_RDWR | O_APPEND |
// O_CREAT ...) only where it names a regular file or, with O_CREAT, nothing
// yet. Opening a FIFO waits for a writer, and opening a device may act on it,
// so anything else (FIFO, device, directory, socket) is refused with Error 75
// ("it is a FIFO, not a regular file") before it is opened, and the open
// itself never waits. Other failures throw systemFileError (a missing file:
// Error 53).
RegularFile openRegularFile(const QString &path, int flags);

// Up to `length` bytes of the open file `fd` from `offset` on, fewer where
// the file ends before; EINTR is retried, other failures throw.
QByteArray readAt(int fd, qint64 offset, qsizetype length);

// Up to `limit` bytes from the start of the regular file `path` (all of a
// shorter one), read without waiting on anything but the disk.
QByteArray readRegularFile(const QString &path, qsizetype limit);

} // namespace orbalis
