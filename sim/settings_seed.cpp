#include "settings_seed.h"

#include "app/error.h"
#include "settings/settings_store.h"

#include <QDir>
#include <QFileInfo>

namespace orbalis::sim {

bool Write_Initial_Settings(const QString &programDir, const std::vector<int> &ids)
{
    QDir dir(programDir);
    const QString path = dir.filePath(QStringLiteral("User Setting.ini"));
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        return false;
    if (!dir.mkpath(QStringLiteral(".")))
        throw Error(PathFileAccess, programDir);

    SettingsModel model;
    for (std::size_t slot = 0; slot < ids.size() && slot < std::size_t(SlotCount); ++slot) {
        model.panel.IdText[slot] = QStringLiteral("%1").arg(ids[slot], 3, 10, QLatin1Char('0'));
        model.panel.NameText[slot] = QStringLiteral("Oven %1").arg(slot + 1);
    }
    Fill_Default_Settings(model);
    Save_Settings_Records(path, {1, 2, 3, 4, 5, 6, 7}, model);
    return true;
}

} // namespace orbalis::sim
