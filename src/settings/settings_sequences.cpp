#include "settings_store.h"

#include <utility>
#include <vector>

namespace orbalis {

void Run_Settings_Startup(const QString &path, SettingsModel &model, ErrorTrap &trap)
{
    SettingsFile file(path);
    if (!trap.step([&] { file.open(); })) {
        // Already reported; settings that cannot be written back may still be
        // readable (a read-only file or folder). A second failure adds nothing.
        try {
            file.openReadOnly();
        } catch (const Error &) {
        }
    }
    if (file.isOpen()) {
        for (int n = 1; n <= SettingsRecordCount; ++n)
            trap.step([&] { Read_User_Setting(file, n, model); });
    }
    trap.step([&] { Fill_Default_Settings(model); });
    if (file.isWritable()) {
        for (int n = 1; n <= SettingsRecordCount; ++n)
            trap.step([&] { Write_User_Setting(file, n, model); });
    }
    file.close();
}

void Run_Settings_Exit(const QString &path, SettingsModel &model, const SlotTables &tables,
                       ErrorTrap &trap)
{
    for (int k = 0; k < SlotCount; ++k)
        model.panel.DecimalText[k] = QString::number(tables.Slot_DP_Code[k]);
    SettingsFile file(path);
    if (trap.step([&] { file.open(); }))
        trap.step([&] { Write_User_Setting(file, SettingsRecordCount, model); });
    file.close();
}

void Save_Settings_Records(const QString &path, std::initializer_list<int> records,
                           const SettingsModel &model)
{
    std::vector<std::pair<int, QByteArray>> built;
    for (int n : records)
        built.emplace_back(n, Build_Settings_Record(model, n));
    SettingsFile file(path);
    file.open();
    for (const auto &[n, bytes] : built)
        file.writeRecord(n, bytes);
    file.close();
}

} // namespace orbalis
