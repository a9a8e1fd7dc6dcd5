#pragma once

#include <QString>
#include <QVariant>

namespace orbalis {

// "Orbalis.ini" in the program folder: the settings that go beyond "User
// Setting.ini" (whose bytes never change for them), as a QSettings INI file
// with one group per subsystem ("[alarms] sound", ...). Each call reads or
// writes the file on its own; nothing stays open.
class OrbalisIni {
public:
    explicit OrbalisIni(QString programDir);

    static QString fileName() { return QStringLiteral("Orbalis.ini"); }
    QString path() const;

    // The value of "group/key", or `fallback` when the file or the key is
    // missing or the file cannot be read.
    QVariant value(const QString &key, const QVariant &fallback = {}) const;
    bool boolValue(const QString &key, bool fallback) const;
    // Stores the value and writes the file at once; throws Error (70 or 75,
    // with the path) when it cannot be written.
    void setValue(const QString &key, const QVariant &value);

private:
    QString programDir_;
};

} // namespace orbalis
