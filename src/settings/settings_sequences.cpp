#include "settings_store.h"

#include "set_aside_name.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace orbalis {

namespace {

// What went wrong with one record of the file at startup.
struct RecordDamage {
    std::optional<Error> fault;   // the record could not be read
    QString resetWhy;             // why it takes all its defaults; empty when it does not

    bool any() const { return fault || !resetWhy.isEmpty(); }
};

// A record whose texts with defaults no longer fit would never be written
// back, and the same fault would return at every start: it takes all its
// defaults instead.
void rebuildOrReset(SettingsModel &model, int record, RecordDamage &damage)
{
    try {
        const int excess = recordExcessBytes(recordTexts(model, record));
        if (excess == 0)
            return;
        damage.resetWhy = QStringLiteral("with defaults for its missing texts it would need %1 bytes, more "
                                         "than the %2 of a record")
                              .arg(RecordSize + excess)
                              .arg(RecordSize);
    } catch (const Error &e) {
        damage.resetWhy = e.detail();   // a text the code page cannot hold
    }
    setRecordTexts(model, record, defaultRecordTexts(record));
}

Error damageReport(int record, const RecordDamage &damage, const QString &kept)
{
    const int number = damage.fault ? damage.fault->number() : BadRecordLength;
    QString detail = damage.fault ? damage.fault->detail()
                                  : QStringLiteral("\"User Setting.ini\" record %1").arg(record);
    if (!damage.resetWhy.isEmpty()) {
        detail += (damage.fault ? QStringLiteral("; ") : QStringLiteral(": ")) + damage.resetWhy
            + QStringLiteral(", so all its texts take their defaults");
    }
    if (!kept.isEmpty())
        detail += QStringLiteral("; the file as it was is kept as \"%1\"").arg(kept);
    return Error(number, detail);
}

} // namespace

void runSettingsStartup(const QString &path, SettingsModel &model, ErrorTrap &trap, const Clock &clock)
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
    std::array<RecordDamage, SettingsRecordCount> damage;
    if (file.isOpen()) {
        for (int n = 1; n <= SettingsRecordCount; ++n) {
            try {
                Read_User_Setting(file, n, model);
            } catch (...) {
                damage[size_t(n - 1)].fault = currentExceptionAsError();
            }
        }
    }
    trap.step([&] { Fill_Default_Settings(model); });
    if (file.isOpen()) {
        for (int n = 1; n <= SettingsRecordCount; ++n)
            rebuildOrReset(model, n, damage[size_t(n - 1)]);
    }

    const bool damaged = std::any_of(damage.begin(), damage.end(), [](const RecordDamage &d) { return d.any(); });
    QString kept;
    std::optional<Error> notKept;
    if (damaged && file.isWritable()) {
        // Nothing of what the user had may go with the repair.
        try {
            kept = file.keepCopy(setAsideName(path, clock.now()));
        } catch (...) {
            notKept = currentExceptionAsError();
        }
    }
    for (int n = 1; n <= SettingsRecordCount; ++n) {
        const RecordDamage &d = damage[size_t(n - 1)];
        if (d.any())
            trap.report(damageReport(n, d, kept));
    }
    if (notKept) {
        trap.report(Error(notKept->number(),
                          notKept->detail() + QStringLiteral("; the damaged file is left as it is")));
    } else if (file.isWritable()) {
        for (int n = 1; n <= SettingsRecordCount; ++n)
            trap.step([&] { Write_User_Setting(file, n, model); });
    }
    file.close();
}

void runSettingsExit(const QString &path, SettingsModel &model, const SlotTables &tables,
                       ErrorTrap &trap)
{
    for (int k = 0; k < SlotCount; ++k)
        model.panel.DecimalText[k] = QString::number(tables.Slot_DP_Code[k]);
    SettingsFile file(path);
    if (trap.step([&] { file.open(); }))
        trap.step([&] { Write_User_Setting(file, SettingsRecordCount, model); });
    file.close();
}

void saveSettingsRecords(const QString &path, std::initializer_list<int> records,
                           const SettingsModel &model)
{
    std::vector<std::pair<int, QByteArray>> built;
    for (int n : records)
        built.emplace_back(n, buildSettingsRecord(model, n));
    SettingsFile file(path);
    file.open();
    for (const auto &[n, bytes] : built)
        file.writeRecord(n, bytes);
    file.close();
}

} // namespace orbalis
