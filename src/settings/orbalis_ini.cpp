#include "orbalis_ini.h"

#include "base/error.h"

#include <QFileInfo>
#include <QSettings>

namespace orbalis {

OrbalisIni::OrbalisIni(QString programDir) : programDir_(std::move(programDir)) {}

QString OrbalisIni::path() const
{
    return programDir_ + u'/' + fileName();
}

QVariant OrbalisIni::value(const QString &key, const QVariant &fallback) const
{
    const QSettings ini(path(), QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return fallback;
    return ini.value(key, fallback);
}

bool OrbalisIni::boolValue(const QString &key, bool fallback) const
{
    const QVariant v = value(key);
    if (!v.isValid())
        return fallback;
    // A hand-edited "1", "yes" or "on" means on as well; anything unreadable
    // keeps the fallback.
    const QString text = v.toString().trimmed().toLower();
    if (text == u"true" || text == u"1" || text == u"yes" || text == u"on")
        return true;
    if (text == u"false" || text == u"0" || text == u"no" || text == u"off")
        return false;
    return fallback;
}

void OrbalisIni::setValue(const QString &key, const QVariant &value)
{
    QSettings ini(path(), QSettings::IniFormat);
    ini.setValue(key, value);
    ini.sync();
    if (ini.status() == QSettings::NoError)
        return;
    const QFileInfo file(path());
    const QFileInfo folder(programDir_);
    const bool refused = (file.exists() && !file.isWritable()) || (!file.exists() && !folder.isWritable());
    throw Error(refused ? PermissionDenied : PathFileAccess,
                path() + QStringLiteral(": the setting ") + key + QStringLiteral(" could not be written"));
}

} // namespace orbalis
