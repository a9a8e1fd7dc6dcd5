#include "settings_test_files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <unistd.h>

using namespace orbalis;
using namespace orbalis::test;

namespace {

// A folder nobody may create files in, holding `content` as a read-only
// settings file unless it is null.
struct ReadOnlyFolder : SettingsFolder {
    explicit ReadOnlyFolder(const QByteArray &content = {})
    {
        const auto readable = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
        if (!content.isNull()) {
            writeFile(path(), content);
            QFile::setPermissions(path(), readable);
        }
        QFile::setPermissions(dir.path(), readable | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    }
    ~ReadOnlyFolder() { QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); }

    bool refusesWrites() const { return !QFile(dir.filePath(QStringLiteral("probe"))).open(QIODevice::WriteOnly); }
};

} // namespace

TEST(SettingsFile, FileSystemFailuresCarryTheirNumbersPathAndReason)
{
    SettingsFolder folder;
    ASSERT_TRUE(QDir(folder.dir.path()).mkdir(QStringLiteral("User Setting.ini")));
    try {
        SettingsFile(folder.path()).open();
        ADD_FAILURE() << "a folder opened as the settings file";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), PathFileAccess);
        EXPECT_TRUE(e.detail().contains(folder.path()));
        EXPECT_TRUE(e.detail().contains(QStringLiteral("directory"), Qt::CaseInsensitive));
    }
    // Startup reports it once and goes on with the defaults.
    Startup onFolder(folder.path());
    EXPECT_EQ(onFolder.codes(), QList<int>{PathFileAccess});
    EXPECT_EQ(onFolder.model.panel.DecimalText[0], "48");

    // A regular file where the folder should be.
    const QString plain = folder.dir.filePath(QStringLiteral("plain"));
    writeFile(plain, "x");
    EXPECT_EQ(errorNumberOf([&] { SettingsFile(plain + QStringLiteral("/User Setting.ini")).open(); }),
              PathFileAccess);
    // sysfs lets nobody, root included, create a file in its top folder.
    if (QFileInfo(QStringLiteral("/sys/kernel")).isDir()) {
        EXPECT_EQ(errorNumberOf([] { SettingsFile(QStringLiteral("/sys/User Setting.ini")).open(); }),
                  PermissionDenied);
    }
}

TEST(SettingsFile, FullDiskIsReportedForEveryRecord)
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    Startup s(QStringLiteral("/dev/full"));   // reads zeros, refuses every write
    EXPECT_EQ(s.codes(), QList<int>(7, DiskFull));
    EXPECT_TRUE(s.reporter.messages.front().contains(QStringLiteral("/dev/full")));
    EXPECT_EQ(s.model.serial.Port, "COM1");
}

TEST(SettingsFile, ReadOnlyFolderIsReportedOnceAndWhatCanBeReadIsKept)
{
    const QByteArray stored = recordOf({"COM5", "9600", "1", "7", "Even"}) + recordOfSame("003");
    UnprivilegedScope unprivileged;
    {
        ReadOnlyFolder empty;
        if (!empty.refusesWrites())
            GTEST_SKIP() << "permission bits do not bind this process";
        Startup s(empty.path());
        EXPECT_EQ(s.codes(), QList<int>{PermissionDenied});
        EXPECT_EQ(s.model.serial.Port, "COM1");
        EXPECT_FALSE(QFileInfo::exists(empty.path()));
    }
    ReadOnlyFolder withFile(stored);
    Startup s(withFile.path());
    EXPECT_EQ(s.codes(), QList<int>{PermissionDenied});
    EXPECT_EQ(s.model.serial.Parity, "Even");
    EXPECT_EQ(s.model.panel.IdText[15], "003");
    EXPECT_EQ(s.model.panel.NameText[0], "---");   // record 3 absent: default
    EXPECT_EQ(readFile(withFile.path()), stored);

    // A write to a file opened for reading names the real reason.
    SettingsFile file(withFile.path());
    file.openReadOnly();
    EXPECT_EQ(errorNumberOf([&] { file.writeRecord(1, QByteArray(128, 'a')); }), PermissionDenied);
}
