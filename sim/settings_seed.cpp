#include "settings_seed.h"

#include "base/error.h"
#include "settings/settings_store.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace orbalis::sim {

bool writeInitialSettings(const QString &programDir, const std::vector<int> &ids)
{
    QDir dir(programDir);
    const QString path = dir.filePath(QStringLiteral("User Setting.ini"));
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        return false;
    if (!dir.mkpath(QStringLiteral(".")))
        throw Error(PathFileAccess, programDir);

    SettingsModel model;
    const std::size_t bound = std::min(ids.size(), std::size_t(SlotCount));
    for (std::size_t slot = 0; slot < bound; ++slot) {
        model.panel.IdText[slot] = QStringLiteral("%1").arg(ids[slot], 3, 10, QLatin1Char('0'));
        // Short enough to show in full between the lamps and the banner of a
        // slot at the window's design size, so the slots can be told apart;
        // sixteen of them also fit the 96 bytes their record has for names.
        model.panel.NameText[slot] = QStringLiteral("Oven%1").arg(slot + 1);
    }
    Fill_Default_Settings(model);
    saveSettingsRecords(path, {1, 2, 3, 4, 5, 6, 7}, model);
    return true;
}

} // namespace orbalis::sim
