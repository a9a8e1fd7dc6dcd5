#pragma once

#include "settings_model.h"

#include "base/clock.h"
#include "base/error_trap.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <initializer_list>

namespace orbalis {

constexpr int RecordSize = 128;
constexpr int SettingsRecordCount = 7;

// "User Setting.ini": fixed 128-byte records, record n at (n - 1) * 128.
// Open for the duration of one read or write sequence only.
class SettingsFile {
public:
    explicit SettingsFile(QString path);
    ~SettingsFile();
    SettingsFile(const SettingsFile &) = delete;
    SettingsFile &operator=(const SettingsFile &) = delete;
    // Opens for reading and writing, creating the file if absent. Throws Error.
    void open();
    // Opens an existing regular file for reading only, so that settings that
    // cannot be written back can still be loaded. Throws Error.
    void openReadOnly();
    bool isOpen() const;
    bool isWritable() const;
    void close();
    // The bytes of record n that lie inside the file (fewer than 128 near the end).
    QByteArray readRecord(int n);
    // Writes exactly 128 bytes at record n's place; other records untouched. Throws Error.
    void writeRecord(int n, const QByteArray &record);
    // Copies the whole file, as it is on disk, to a new file `wanted` (or, when
    // that name is taken, `wanted` followed by "-2", "-3", ...), flushed to the
    // disk; returns the copy's path. A copy that fails is removed. Throws Error.
    QString keepCopy(const QString &wanted);

private:
    struct Impl;
    Impl *d;
};

// How many texts record n holds: 5 for record 1, 16 for records 2..7.
// Throws Error 9 for a record number outside 1..7.
int recordTextCount(int record);
// Texts of record n taken from / put into the model. setRecordTexts sets the
// first texts.size() entries (at most the record's count); the others stay.
QStringList recordTexts(const SettingsModel &model, int record);
void setRecordTexts(SettingsModel &model, int record, const QStringList &texts);
// The defaults of record n's texts, in record order.
QStringList defaultRecordTexts(int record);

// Builds a 128-byte record of length-prefixed code page 950 texts with a zero tail.
// Throws Error 59 when the texts do not fit (the detail says how many bytes must
// go) and Error 5 when a text holds a character code page 950 cannot hold.
QByteArray buildRecord(const QStringList &texts);
// How many bytes the texts exceed their record by; 0 when they fit.
// Throws Error 5 like buildRecord.
int recordExcessBytes(const QStringList &texts);
// buildRecord of record n's texts in the model; errors name the record.
QByteArray buildSettingsRecord(const SettingsModel &model, int record);

// Reads one record into the model. Strings beyond the end of the file read as
// empty. A length prefix that runs past the record (Error 59) or the file
// (Error 62) keeps what was read before it and then throws. An entry whose
// bytes are not code page 950 keeps its model text; the other entries are
// still read, then Error 5 names the entry.
void Read_User_Setting(SettingsFile &file, int record, SettingsModel &model);
// Builds the whole record first, then writes it; a record that cannot be built
// is not written and the file keeps its previous bytes there.
void Write_User_Setting(SettingsFile &file, int record, const SettingsModel &model);
// Replaces every empty text by its default.
void Fill_Default_Settings(SettingsModel &model);
// SlotId and Slot_DP_Code from the texts; clears Record_Flag and Mark_Flag.
// An ID outside 0..255 is reported through the trap (Overflow) and gives 0;
// the other slots still convert. A decimal code beyond 32 bits is reported the
// same way and gives 48.
void Load_Panel_Table(const SettingsModel &model, SlotTables &tables, ErrorTrap &trap);
// The SlotId rule for one text: 0 for "---" (trimmed) or no number; throws
// Error Overflow when the rounded number lies outside 0..255.
std::uint8_t slotIdFromText(const QString &idText);

// Startup: open (create), read 1..7, fill defaults, write 1..7, close; each step
// under the trap. A file that can be read but not written is still read (the
// open failure is reported once and nothing is written); a file that cannot be
// opened at all leaves the defaults. Load_Panel_Table is run by the caller.
// A damaged file (a record that cannot be read, or whose texts with defaults
// no longer fit) is first copied beside itself as "User Setting.ini.damaged-
// YYMMDD-HHMMSS" (the clock's time), and the message of each damaged record
// names the copy; when no copy can be made, nothing in the file is rewritten.
// A record whose texts with defaults do not fit takes all its defaults.
void runSettingsStartup(const QString &path, SettingsModel &model, ErrorTrap &trap,
                          const Clock &clock = systemClock());
// Exit: DecimalText from Slot_DP_Code, then record 7 only.
void runSettingsExit(const QString &path, SettingsModel &model, const SlotTables &tables,
                       ErrorTrap &trap);
// Open, write the given records, close. Every record is built before any is
// written, so a failure writes nothing. Throws Error.
void saveSettingsRecords(const QString &path, std::initializer_list<int> records,
                           const SettingsModel &model);

} // namespace orbalis
