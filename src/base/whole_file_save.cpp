#include "whole_file_save.h"

#include "regular_file.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace orbalis {

namespace {

// What the name finally stands for, through any chain of links, so that the
// file there is replaced and the links stay, and a device at the end of one
// is seen as a device (QSaveFile, used before, renamed its temporary file
// over /dev/null at the end of a link).
QString endOfLinks(const QString &path)
{
    QString name = path;
    for (int hops = 0; QFileInfo(name).isSymLink(); ++hops) {
        if (hops == 40)
            throw systemFileError(ELOOP);
        name = QFileInfo(name).symLinkTarget();
    }
    return name;
}

// The permissions of the regular file `name`, or nothing where there is none
// yet; anything else of that name is refused. A link is not followed.
std::optional<mode_t> regularFileOrNothing(const QByteArray &name)
{
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0) {
        if (errno == ENOENT)
            return std::nullopt;
        throw systemFileError(errno);
    }
    requireRegularFile(st);
    return st.st_mode & 07777;
}

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

    // Every write is checked: a disk that fills up shows here, not later.
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

    // On the disk and closed: some file systems report a full disk only when
    // the data goes out. One that cannot sync (EINVAL) has nothing to write.
    void finish()
    {
        if (::fsync(fd_.get()) != 0 && errno != EINVAL)
            throw systemFileError(errno);
        fd_.close();
    }

    void renameTo(const QByteArray &target)
    {
        if (::rename(name_.constData(), target.constData()) != 0)
            throw systemFileError(errno);
        kept_ = true;
    }

private:
    QByteArray name_;
    FileDescriptor fd_;
    bool kept_ = false;
};

} // namespace

void saveWholeFile(const QString &path, const QByteArray &bytes)
{
    const QString target = endOfLinks(path);
    const QByteArray name = QFile::encodeName(target);
    const std::optional<mode_t> permissions = regularFileOrNothing(name);
    PartFile part(target);
    if (permissions)
        (void)::fchmod(part.fd(), *permissions);
    part.writeAll(bytes);
    part.finish();
    // Something other than a file may have taken the name since; rename would
    // put the new file in its place, a device's too.
    regularFileOrNothing(name);
    part.renameTo(name);
}

} // namespace orbalis
