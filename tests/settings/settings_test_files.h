#pragma once

#include "base/error.h"
#include "settings/settings_store.h"
#include "support/errors.h"
#include "support/fakes.h"
#include "support/files.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>
#include <unistd.h>

namespace orbalis::test {

// A 2-byte little-endian count and the bytes, spelled out by hand so that
// expected files do not depend on the code under test.
inline QByteArray lengthPrefixed(const QByteArray &bytes)
{
    QByteArray out;
    out.append(char(bytes.size() & 0xff));
    out.append(char((bytes.size() >> 8) & 0xff));
    return out + bytes;
}

// A 128-byte record of the given texts and a zero tail.
inline QByteArray recordOf(const QList<QByteArray> &texts)
{
    QByteArray out;
    for (const QByteArray &t : texts)
        out += lengthPrefixed(t);
    out.append(128 - out.size(), '\0');
    return out;
}

inline QByteArray recordOfSame(const QByteArray &text)
{
    QList<QByteArray> texts;
    for (int k = 0; k < 16; ++k)
        texts.append(text);
    return recordOf(texts);
}

inline QByteArray recordBytes(const QByteArray &file, int n)
{
    return file.mid((n - 1) * 128, 128);
}

// The error numbers of the boxes the trap showed, in order.
inline QList<int> reportedCodes(const FakeReporter &reporter)
{
    static const QRegularExpression code(QStringLiteral("\r\nWrong code: (\\d+)\r\n"));
    QList<int> codes;
    for (const QString &m : reporter.messages) {
        const auto match = code.match(m);
        codes.append(match.hasMatch() ? match.captured(1).toInt() : -1);
    }
    return codes;
}

// Runs as an unprivileged user for its lifetime, so that permission bits
// bind even when the tests run as root.
struct UnprivilegedScope {
    bool switched = ::geteuid() == 0 && ::seteuid(65534) == 0;
    ~UnprivilegedScope()
    {
        if (switched)
            (void)::seteuid(0);
    }
};

// A temporary program folder with the settings file's path in it.
struct SettingsFolder {
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("User Setting.ini")); }
};

// The time every test start happens at.
inline QDateTime startTime()
{
    return QDateTime(QDate(2024, 3, 3), QTime(14, 3, 7));
}

// The startup sequence with a capturing trap.
struct Startup {
    FakeReporter reporter;
    ErrorTrap trap{reporter, QStringLiteral("FM_Orbalis_Load")};
    SettingsModel model;

    explicit Startup(const QString &path, const QDateTime &at = startTime())
    {
        const FixedClock clock(at);
        runSettingsStartup(path, model, trap, clock);
    }
    QList<int> codes() const { return reportedCodes(reporter); }
};

} // namespace orbalis::test
