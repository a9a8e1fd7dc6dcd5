#pragma once

#include "error.h"

#include <QString>
#include <sys/types.h>
#include <utility>

struct stat;

namespace orbalis {

// A file descriptor that closes itself.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor &&other) noexcept : fd_(other.release()) {}
    FileDescriptor &operator=(FileDescriptor &&other) noexcept;
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// A failed file operation as an Error: the number for `err` (an errno
// value) and the system's own reason.
Error fileError(int err);

// Throws Error 75 "it is a FIFO, not a regular file" (a directory, a
// device, ...) unless `st` is of a regular file.
void requireRegularFile(const struct stat &st);

// Opens `path` as open(2) does with `flags`, but only a regular file, and
// never in a way that waits: opening a FIFO waits for the other end, and
// opening a device may act on it. Anything else of that name is refused as
// "it is a FIFO, not a regular file" (error 75), also when it took the name
// between the look and the open. Throws Error (a missing file: error 53).
FileDescriptor openRegularFile(const QString &path, int flags, mode_t mode = 0666);

} // namespace orbalis
