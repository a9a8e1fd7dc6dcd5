// Saving a file whole or not at all: on a full disk, over things that are
// not files, through a link. What was there before survives every failure,
// and no part file is left behind.

#include "base/error.h"
#include "base/whole_file_save.h"

#include "support/disk_full.h"
#include "support/files.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <sys/stat.h>

using namespace orbalis;

TEST(WholeFileSave, ReplacesOnlyWhenEverythingWasWritten)
{
    const QByteArray before = QByteArray("saved before\r\n").repeated(1000);
    const QByteArray small = "a small save\r\n";
    const QByteArray large = QByteArray("a large save\r\n").repeated(10000);
    const struct {
        const char *what;
        std::function<bool(const QString &path)> prepare;   // the file's name before the save
        QByteArray bytes;
        std::optional<rlim_t> diskFullAt;
        int error;                                          // 0: saved
        const char *reason = "";
    } cases[] = {
        {"a new file", [](const QString &) { return true; }, small, {}, 0},
        {"over a file", [&](const QString &p) { return test::writeFile(p, before); }, large, {}, 0},
        {"an empty save", [&](const QString &p) { return test::writeFile(p, before); }, {}, {}, 0},
        {"a small save on a full disk", [&](const QString &p) { return test::writeFile(p, before); }, small, 0, 61,
         "File too large"},
        {"a large save filling the disk halfway", [&](const QString &p) { return test::writeFile(p, before); },
         large, rlim_t(large.size() / 2), 61, "File too large"},
        {"a new file on a full disk", [](const QString &) { return true; }, small, 0, 61, "File too large"},
        {"a folder of that name", [](const QString &p) { return QDir().mkdir(p); }, small, {}, 75,
         "it is a directory, not a regular file"},
        {"a FIFO of that name", [](const QString &p) { return ::mkfifo(QFile::encodeName(p).constData(), 0666) == 0; },
         small, {}, 75, "it is a FIFO, not a regular file"},
        {"a folder that does not exist", [](const QString &p) { return !QDir(QFileInfo(p).path()).exists(); }, small,
         {}, 53, "No such file or directory"},
    };
    for (const auto &c : cases) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = c.error == 53 ? dir.filePath(QStringLiteral("gone/t.csv")) : dir.filePath(QStringLiteral("t.csv"));
        ASSERT_TRUE(c.prepare(path)) << c.what;
        const bool wasFile = QFileInfo(path).isFile();   // never opens a FIFO
        const QByteArray old = wasFile ? test::readFile(path) : QByteArray();
        const QStringList entries = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
        std::optional<Error> failed;
        {
            std::optional<test::DiskFullAt> full;
            if (c.diskFullAt)
                full.emplace(*c.diskFullAt);
            try {
                saveWholeFile(path, c.bytes);
            } catch (const Error &e) {
                failed = e;
            }
        }
        if (c.error == 0) {
            EXPECT_FALSE(failed) << c.what << ": " << (failed ? failed->what() : "");
            EXPECT_EQ(test::readFile(path), c.bytes) << c.what;
        } else {
            ASSERT_TRUE(failed) << c.what;
            EXPECT_EQ(failed->number(), c.error) << c.what;
            EXPECT_EQ(failed->detail(), path + QStringLiteral(": ") + QString::fromLatin1(c.reason)) << c.what;
            EXPECT_EQ(QFileInfo(path).isFile(), wasFile) << c.what;
            EXPECT_EQ(wasFile ? test::readFile(path) : QByteArray(), old) << c.what;
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System), entries)
                << c.what;
        }
    }
}

TEST(WholeFileSave, KeepsPermissionsAndLinks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("target.csv"));
    const QString link = dir.filePath(QStringLiteral("link.csv"));
    ASSERT_TRUE(test::writeFile(target, "old"));
    ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    ASSERT_TRUE(QFile::link(target, link));
    const QFile::Permissions permissions = QFile::permissions(target);

    saveWholeFile(link, "new");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(test::readFile(target), "new");
    EXPECT_EQ(QFile::permissions(target), permissions);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"link.csv", "target.csv"}));
}
