#include "settings/settings_store.h"
#include "settings_test_files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <unistd.h>

using namespace orbalis;
using namespace orbalis::test;

namespace {

// Runs as an unprivileged user for its lifetime, so that permission bits
// apply even when the tests run as root.
class UnprivilegedScope {
public:
    UnprivilegedScope()
    {
        if (::geteuid() == 0)
            switched_ = ::seteuid(65534) == 0;
    }
    ~UnprivilegedScope()
    {
        if (switched_)
            (void)::seteuid(0);
    }
    bool switched() const { return switched_; }

private:
    bool switched_ = false;
};

// A folder nobody may create files in, holding `content` as the settings
// file unless it is null.
struct ReadOnlyFolder {
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("User Setting.ini")); }

    explicit ReadOnlyFolder(const QByteArray &content = {})
    {
        if (!content.isNull()) {
            writeAll(path(), content);
            QFile::setPermissions(path(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        }
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
                                              | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    }
    ~ReadOnlyFolder() { QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); }

    // Whether the permission bits really stop this process.
    bool refusesWrites() const
    {
        QFile probe(dir.filePath(QStringLiteral("probe")));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            return false;
        }
        return true;
    }
};

int openError(const QString &path)
{
    SettingsFile file(path);
    try {
        file.open();
    } catch (const Error &e) {
        return e.number();
    }
    return 0;
}

} // namespace

TEST(SettingsFile, RecordsLandAtTheirOwnOffsetsAndNothingElseMoves)
{
    SettingsFolder folder;
    SettingsFile file(folder.path());
    file.open();
    EXPECT_TRUE(file.isWritable());
    const QByteArray seven(128, '7');
    file.writeRecord(7, seven);
    // The gap before record 7 reads as zeros; a file shorter than a record reads short.
    EXPECT_EQ(file.readRecord(7), seven);
    EXPECT_EQ(file.readRecord(1), QByteArray(128, '\0'));
    file.writeRecord(3, QByteArray(128, '3'));
    file.close();

    QByteArray bytes = readAll(folder.path());
    ASSERT_EQ(bytes.size(), 896);
    EXPECT_EQ(recordBytes(bytes, 3), QByteArray(128, '3'));
    EXPECT_EQ(recordBytes(bytes, 7), seven);
    EXPECT_EQ(recordBytes(bytes, 2), QByteArray(128, '\0'));

    writeAll(folder.path(), QByteArray(200, 'x'));
    file.open();
    EXPECT_EQ(file.readRecord(2), QByteArray(72, 'x'));
    EXPECT_EQ(file.readRecord(3), QByteArray());
    // Only whole records are written, and only records 1 to 7.
    EXPECT_THROW(file.writeRecord(1, QByteArray(127, 'a')), Error);
    EXPECT_THROW(file.writeRecord(8, QByteArray(128, 'a')), Error);
    EXPECT_THROW(file.readRecord(0), Error);
    file.close();
    EXPECT_EQ(readAll(folder.path()), QByteArray(200, 'x'));

    EXPECT_THROW(file.readRecord(1), Error);   // closed
}

TEST(SettingsFile, FileSystemFailuresCarryTheirNumbersPathAndReason)
{
    SettingsFolder folder;
    // A folder where the file should be.
    ASSERT_TRUE(QDir(folder.dir.path()).mkdir(QStringLiteral("User Setting.ini")));
    SettingsFile asFolder(folder.path());
    try {
        asFolder.open();
        ADD_FAILURE() << "a folder opened as the settings file";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), PathFileAccess);
        EXPECT_TRUE(e.detail().contains(folder.path()));
        EXPECT_TRUE(e.detail().contains(QStringLiteral("directory"), Qt::CaseInsensitive))
            << e.detail().toStdString();
    }
    EXPECT_THROW(asFolder.openReadOnly(), Error);
    EXPECT_FALSE(asFolder.isOpen());

    // A regular file where the folder should be.
    const QString plain = folder.dir.filePath(QStringLiteral("plain"));
    writeAll(plain, "x");
    EXPECT_EQ(openError(plain + QStringLiteral("/User Setting.ini")), PathFileAccess);

    // sysfs lets nobody, root included, create a file in its top folder.
    if (QFileInfo(QStringLiteral("/sys/kernel")).isDir()) {
        EXPECT_EQ(openError(QStringLiteral("/sys/User Setting.ini")), PermissionDenied);
    }
}

TEST(SettingsFile, FullDiskFailsTheWriteWithDiskFull)
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    SettingsFile file(QStringLiteral("/dev/full"));
    file.open();
    try {
        file.writeRecord(1, QByteArray(128, 'a'));
        ADD_FAILURE() << "write to a full disk succeeded";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), DiskFull);
        EXPECT_TRUE(e.detail().contains(QStringLiteral("/dev/full")));
    }
}

TEST(SettingsFile, ReadOnlyFolderIsReportedOnceAndWhatCanBeReadIsKept)
{
    const QByteArray stored = recordOf({"COM5", "9600", "1", "7", "Even"}) + recordOfSame("003");
    UnprivilegedScope unprivileged;
    {
        ReadOnlyFolder empty;
        if (!empty.refusesWrites())
            GTEST_SKIP() << "permission bits do not bind this process";
        EXPECT_EQ(openError(empty.path()), PermissionDenied);

        FakeReporter reporter;
        ErrorTrap trap(reporter, QStringLiteral("FM_Orbalis_Load"));
        SettingsModel model;
        Run_Settings_Startup(empty.path(), model, trap);
        EXPECT_EQ(reportedCodes(reporter), QList<int>{PermissionDenied});
        EXPECT_EQ(model.serial.Port, "COM1");   // defaults
        EXPECT_FALSE(QFileInfo::exists(empty.path()));
    }
    {
        ReadOnlyFolder withFile(stored);
        FakeReporter reporter;
        ErrorTrap trap(reporter, QStringLiteral("FM_Orbalis_Load"));
        SettingsModel model;
        Run_Settings_Startup(withFile.path(), model, trap);
        EXPECT_EQ(reportedCodes(reporter), QList<int>{PermissionDenied});
        EXPECT_EQ(model.serial.Port, "COM5");
        EXPECT_EQ(model.serial.Parity, "Even");
        EXPECT_EQ(model.panel.IdText[15], "003");
        EXPECT_EQ(model.panel.NameText[0], "---");   // record 3 absent: default
        EXPECT_EQ(readAll(withFile.path()), stored);

        // Writing to a file opened for reading only names the real reason.
        SettingsFile file(withFile.path());
        file.openReadOnly();
        EXPECT_FALSE(file.isWritable());
        try {
            file.writeRecord(1, QByteArray(128, 'a'));
            ADD_FAILURE() << "wrote to a read-only file";
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), PermissionDenied);
        }
    }
}
