#include "whole_file_save.h"

#include "regular_file.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orbalis {

namespace {

// The new file, removed again unless it took the name.
class PartFile {
public:
    explicit PartFile(const QString &target)
    {
        for (int attempt = 0; fd_.get() < 0; ++attempt) {
            name_ = QFile::encodeName(
                QStringLiteral("%1.%2.part").arg(target).arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
            int opened;
            do {
                opened = ::open(name_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            } while (opened < 0 && errno == EINTR);
            if (opened < 0 && (errno != EEXIST || attempt >= 16))
                throw systemFileError(errno);
            fd_ = FileDescriptor(opened);
        }
    }
    ~PartFile()
    {
        if (!kept_)
            ::unlink(name_.constData());
    }
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;

    int fd() const { return fd_.get(); }

    void writeAll(const QByteArray &bytes)
    {
        const char *data = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            const ssize_t n = ::write(fd_.get(), data, std::size_t(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw systemFileError(n == 0 ? ENOSPC : errno);
            data += n;
            left -= n;
        }
    }

    // On the disk, closed, and under the name of `target`.
    void commitAs(const QByteArray &target)
    {
        // A file system that cannot sync (EINVAL) has nothing more to write.
        if (::fsync(fd_.get()) != 0 && errno != EINVAL)
            throw systemFileError(errno);
        fd_.close();
        if (::rename(name_.constData(), target.constData()) != 0)
            throw systemFileError(errno);
        kept_ = true;
    }

private:
    QByteArray name_;
    FileDescriptor fd_;
    bool kept_ = false;
};

void saveOver(const QString &target, const QByteArray &bytes)
{
    const QByteArray name = QFile::encodeName(target);
    struct stat st {};
    const bool existed = ::stat(name.constData(), &st) == 0;
    if (!existed && errno != ENOENT)
        throw systemFileError(errno);
    if (existed)
        requireRegularFile(st);
    PartFile part(target);
    // The saved file keeps the permissions of the one it replaces.
    if (existed)
        (void)::fchmod(part.fd(), st.st_mode & 07777);
    part.writeAll(bytes);
    part.commitAs(name);
}

} // namespace

void saveWholeFile(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    const QString target = info.isSymLink() ? info.symLinkTarget() : path;
    try {
        saveOver(target, bytes);
    } catch (const Error &e) {
        throw Error(e.number(), path + QStringLiteral(": ") + e.detail());
    }
}

} // namespace orbalis
