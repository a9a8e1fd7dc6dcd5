#include "base/error.h"
#include "settings/orbalis_ini.h"
#include "support/files.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orbalis;
using namespace orbalis::test;

TEST(OrbalisIni, ValuesAreReadWithTheirFallbackAndHandEditedSwitchesAreUnderstood)
{
    QTemporaryDir dir;
    const OrbalisIni ini(dir.path());
    EXPECT_EQ(ini.path(), dir.path() + QStringLiteral("/Orbalis.ini"));
    EXPECT_TRUE(ini.boolValue(QStringLiteral("alarms/sound"), true)); // no file yet
    const struct {
        const char *written;
        bool read;
    } table[] = {{"true", true}, {"false", false}, {"1", true},     {"0", false}, {"Yes", true},
                 {"off", false}, {" ON ", true},   {"maybe", true}, {"", true}};
    for (const auto &c : table) {
        // A folder each: QSettings keeps what it read of a file by its time and size.
        QTemporaryDir other;
        const OrbalisIni edited(other.path());
        writeFile(edited.path(), QByteArray("[alarms]\nsound=") + c.written + "\n");
        EXPECT_EQ(edited.boolValue(QStringLiteral("alarms/sound"), true), c.read) << c.written;
    }
}

TEST(OrbalisIni, AWrittenValueIsOnDiskAtOnceAndTheUsersSettingsFileIsNotTouched)
{
    QTemporaryDir dir;
    const QByteArray settings(896, '\x07');
    writeFile(dir.filePath(QStringLiteral("User Setting.ini")), settings);
    writeFile(dir.filePath(QStringLiteral("Orbalis.ini")), "[mqtt]\nhost=127.0.0.1\n");
    OrbalisIni(dir.path()).setValue(QStringLiteral("alarms/sound"), false);
    const QByteArray written = readFile(dir.filePath(QStringLiteral("Orbalis.ini")));
    EXPECT_TRUE(written.contains("[alarms]\nsound=false\n")) << written.constData();
    EXPECT_TRUE(written.contains("[mqtt]\nhost=127.0.0.1\n")); // other groups stay
    EXPECT_FALSE(OrbalisIni(dir.path()).boolValue(QStringLiteral("alarms/sound"), true));
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("User Setting.ini"))), settings);
}

TEST(OrbalisIni, AValueThatCannotBeWrittenIsAnErrorNamingTheFile)
{
    QTemporaryDir dir;
    const QString notAFolder = dir.filePath(QStringLiteral("plain file"));
    writeFile(notAFolder, "x");
    try {
        OrbalisIni(notAFolder).setValue(QStringLiteral("alarms/sound"), true);
        ADD_FAILURE() << "written into a file's name as a folder";
    } catch (const Error &e) {
        EXPECT_TRUE(e.detail().startsWith(notAFolder + QStringLiteral("/Orbalis.ini"))) << e.detail().toStdString();
        EXPECT_TRUE(e.number() == PathFileAccess || e.number() == PermissionDenied) << e.number();
    }
}
