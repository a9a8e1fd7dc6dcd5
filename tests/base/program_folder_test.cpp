#include "base/program_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace orbalis {
namespace {

// Sets an environment variable (or unsets it, for an empty value) for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const QString &value) : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name))
    {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value.toLocal8Bit());
    }
    ~ScopedEnv()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char *name_;
    bool had_;
    QByteArray old_;
};

TEST(ProgramFolderTest, ExecutableFolderWhenItMayBeWrittenElseTheUsersDataFolder)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString buildBin = tmp.filePath(QStringLiteral("build/bin"));
    const QString readOnly = tmp.filePath(QStringLiteral("installed/bin"));
    ASSERT_TRUE(QDir().mkpath(buildBin));
    ASSERT_TRUE(QDir().mkpath(readOnly));
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    const QString home = tmp.filePath(QStringLiteral("home"));
    const QString xdg = tmp.filePath(QStringLiteral("xdg data"));
    const bool root = geteuid() == 0;   // root may write any folder, read-only or not

    struct Case {
        const char *what;
        QString executableDir;
        QString xdgDataHome;   // empty: unset
        QString expected;      // empty: the executable's folder
    };
    const Case cases[] = {
        {"a build folder", buildBin, xdg, {}},
        {"a folder this user may not write", readOnly, xdg, root ? QString() : xdg + QStringLiteral("/Orbalis")},
        {"/usr/bin, even for root", QStringLiteral("/usr/bin"), xdg, xdg + QStringLiteral("/Orbalis")},
        {"/usr/local/bin, even for root", QStringLiteral("/usr/local/bin"), xdg, xdg + QStringLiteral("/Orbalis")},
        {"a folder that is gone", tmp.filePath(QStringLiteral("gone")), xdg, xdg + QStringLiteral("/Orbalis")},
        {"no XDG_DATA_HOME: the home's", QStringLiteral("/usr/bin"), {},
         home + QStringLiteral("/.local/share/Orbalis")},
    };
    const ScopedEnv homeEnv("HOME", home);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const ScopedEnv xdgEnv("XDG_DATA_HOME", c.xdgDataHome);
        const QString expected = c.expected.isEmpty() ? c.executableDir : c.expected;
        EXPECT_EQ(programFolder(c.executableDir), expected);
        // Ready to take the settings file: the data folder is created.
        EXPECT_TRUE(QFileInfo(expected).isDir());
    }
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace
} // namespace orbalis
