// Files opened only when they are regular files, and saved whole or not at
// all: on a full disk, over things that are not files, through links. What
// was there before survives every failure, no part file is left behind, and
// nothing waits on a FIFO.

#include "base/error.h"
#include "base/regular_file.h"
#include "base/whole_file_save.h"

#include "support/disk_full.h"
#include "support/fifo.h"
#include "support/files.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

using namespace orbalis;

namespace {

QStringList entries(const QTemporaryDir &dir)
{
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
}

template <typename Call>
std::optional<Error> failureOf(Call call)
{
    try {
        call();
    } catch (const Error &e) {
        return e;
    }
    return std::nullopt;
}

} // namespace

TEST(WholeFileSave, ReplacesOnlyWhenEverythingWasWritten)
{
    const QByteArray before = QByteArray("saved before\r\n").repeated(1000);
    const QByteArray small = "a small save\r\n";
    const QByteArray large = QByteArray("a large save\r\n").repeated(10000);
    const QString tooLarge = QString::fromLocal8Bit(std::strerror(EFBIG));
    const struct {
        const char *what;
        bool existed;                       // `before` is there under the name
        QByteArray bytes;
        std::optional<rlim_t> diskFullAt;
        int error;                          // 0: saved
        QString reason = {};
    } cases[] = {
        {"a new file", false, small, {}, 0},
        {"over a file", true, large, {}, 0},
        {"an empty save", true, {}, {}, 0},
        {"a small save on a full disk", true, small, 0, DiskFull, tooLarge},
        {"a new file on a full disk", false, small, 0, DiskFull, tooLarge},
        {"a large save with room for part of it", true, large, 8192, DiskFull, tooLarge},
        {"a large save filling the disk halfway", true, large, rlim_t(large.size() / 2), DiskFull, tooLarge},
        {"a large save with room for all but its last byte", true, large, rlim_t(large.size() - 1), DiskFull,
         tooLarge},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("t.csv"));
        if (c.existed) {
            ASSERT_TRUE(test::writeFile(path, before));
        }
        const QStringList names = entries(dir);
        std::optional<Error> failed;
        {
            std::optional<test::DiskFullAt> full;
            if (c.diskFullAt)
                full.emplace(*c.diskFullAt);
            failed = failureOf([&] { saveWholeFile(path, c.bytes); });
        }
        if (c.error == 0) {
            EXPECT_FALSE(failed) << (failed ? failed->what() : "");
            EXPECT_EQ(test::readFile(path), c.bytes);
            EXPECT_EQ(entries(dir), QStringList{"t.csv"});
        } else {
            ASSERT_TRUE(failed) << "a save that did not fit was reported as done";
            EXPECT_EQ(failed->number(), c.error);
            EXPECT_EQ(failed->detail(), c.reason);
            EXPECT_EQ(QFileInfo(path).isFile(), c.existed);
            EXPECT_EQ(test::readFile(path), c.existed ? before : QByteArray());
            EXPECT_EQ(entries(dir), names);
        }
    }

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::optional<Error> failed =
        failureOf([&] { saveWholeFile(dir.filePath(QStringLiteral("gone/t.csv")), small); });
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->number(), FileNotFound);
    EXPECT_EQ(failed->detail(), QString::fromLocal8Bit(std::strerror(ENOENT)));
    EXPECT_TRUE(entries(dir).isEmpty());
}

// The file at the end of the links is replaced and keeps its permissions;
// the links stay links.
TEST(WholeFileSave, FollowsLinksAndKeepsPermissions)
{
    const struct {
        const char *what;
        QStringList links;   // each pointing to the next, the last to the file
        bool relative;
    } cases[] = {
        {"a link", {"link.csv"}, false},
        {"a relative link", {"link.csv"}, true},
        {"a link to a link", {"first.csv", "second.csv"}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString target = dir.filePath(QStringLiteral("target.csv"));
        ASSERT_TRUE(test::writeFile(target, "old"));
        ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        const QFile::Permissions permissions = QFile::permissions(target);
        QString next = QStringLiteral("target.csv");
        for (qsizetype i = c.links.size() - 1; i >= 0; --i) {
            ASSERT_TRUE(QFile::link(c.relative ? next : dir.filePath(next), dir.filePath(c.links[i])));
            next = c.links[i];
        }

        saveWholeFile(dir.filePath(c.links.front()), "new");
        for (const QString &link : c.links)
            EXPECT_TRUE(QFileInfo(dir.filePath(link)).isSymLink()) << link.toStdString();
        EXPECT_EQ(test::readFile(target), "new");
        EXPECT_EQ(QFile::permissions(target), permissions);
        QStringList names = c.links;
        names << QStringLiteral("target.csv");
        names.sort();
        EXPECT_EQ(entries(dir), names);
    }
}

// A name taken by something other than a regular file, also at the end of a
// link, is refused at once by every way in: the read, the open of the record
// writer and the save. It is left as it was, and a FIFO is never waited on.
TEST(RegularFile, ThingsThatAreNotFilesAreRefusedAtOnceAndLeftAsTheyWere)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath(QStringLiteral("fifo.par"));
    const QString socket = dir.filePath(QStringLiteral("socket.par"));
    const QString folder = dir.filePath(QStringLiteral("folder.par"));
    const QString device = dir.filePath(QStringLiteral("device.par"));
    const test::FifoGuard guard(fifo);
    ASSERT_TRUE(guard.made());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.par")));
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(socket).constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    // The device at the end of the link: as root, one of the test's own, so
    // that a save that went wrong replaces that one and never /dev/null; a
    // user cannot replace /dev/null, so it is safe to use there.
    QString node = QStringLiteral("/dev/null");
    if (::geteuid() == 0) {
        node = dir.filePath(QStringLiteral("null"));
        ASSERT_EQ(::mknod(QFile::encodeName(node).constData(), S_IFCHR | 0666, makedev(1, 3)), 0)
            << std::strerror(errno);
    }
    ASSERT_TRUE(QFile::link(node, device));
    const QStringList names = entries(dir);

    const struct {
        QString path;
        const char *kind;
        mode_t type;   // what the path still names afterwards
    } cases[] = {
        {fifo, "a FIFO", S_IFIFO},
        {socket, "a socket", S_IFSOCK},
        {folder, "a directory", S_IFDIR},
        {device, "a character device", S_IFCHR},
    };
    const std::function<void(const QString &)> ways[] = {
        [](const QString &p) { readRegularFile(p, 100); },
        [](const QString &p) { openRegularFile(p, O_RDWR | O_APPEND | O_CREAT); },
        [](const QString &p) { saveWholeFile(p, "bytes"); },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.kind);
        for (std::size_t way = 0; way < std::size(ways); ++way) {
            SCOPED_TRACE(way);
            const std::optional<Error> failed = failureOf([&] { ways[way](c.path); });
            ASSERT_TRUE(failed);
            EXPECT_EQ(failed->number(), PathFileAccess);
            EXPECT_EQ(failed->detail(), QStringLiteral("it is %1, not a regular file").arg(QString::fromLatin1(c.kind)));
            struct stat st {};
            ASSERT_EQ(::stat(QFile::encodeName(c.path).constData(), &st), 0);
            EXPECT_EQ(st.st_mode & S_IFMT, c.type);
        }
    }
    EXPECT_TRUE(QFileInfo(device).isSymLink());
    EXPECT_EQ(entries(dir), names);
    ::close(listener);
    EXPECT_FALSE(guard.hadToOpen()) << "an open waited for a writer";
}
