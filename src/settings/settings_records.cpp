#include "settings_store.h"

#include "record_codec.h"

#include <vector>

namespace orbalis {

namespace {

constexpr int SerialRecord = 1;
constexpr int SerialTextCount = 5;

// The model's texts of record n, in record order (Model is SettingsModel or
// const SettingsModel). Every reader and writer of a record goes through this
// one mapping, so a record is always paired with its own table.
template <class Model>
auto recordFields(Model &model, int record)
{
    auto &s = model.serial;
    auto &p = model.panel;
    std::vector<decltype(&s.Port)> fields;
    auto addTable = [&](auto &table) {
        for (auto &text : table)
            fields.push_back(&text);
    };
    switch (record) {
    case 1: fields = {&s.Port, &s.Baud, &s.StopBits, &s.DataBits, &s.Parity}; break;
    case 2: addTable(p.IdText); break;
    case 3: addTable(p.NameText); break;
    case 4: addTable(p.Reserved4); break;
    case 5: addTable(p.Reserved5); break;
    case 6: addTable(p.Reserved6); break;
    case 7: addTable(p.DecimalText); break;
    default: throw Error(SubscriptOutOfRange, QStringLiteral("record %1").arg(record));
    }
    return fields;
}

Error inRecord(const Error &e, int record)
{
    return Error(e.number(), QStringLiteral("\"User Setting.ini\" record %1: %2").arg(record).arg(e.detail()));
}

} // namespace

int recordTextCount(int record)
{
    if (record < 1 || record > SettingsRecordCount)
        throw Error(SubscriptOutOfRange, QStringLiteral("record %1").arg(record));
    return record == SerialRecord ? SerialTextCount : SlotCount;
}

QStringList recordTexts(const SettingsModel &model, int record)
{
    QStringList texts;
    for (const QString *field : recordFields(model, record))
        texts.append(*field);
    return texts;
}

void setRecordTexts(SettingsModel &model, int record, const QStringList &texts)
{
    const auto fields = recordFields(model, record);
    const size_t n = std::min(fields.size(), size_t(texts.size()));
    for (size_t i = 0; i < n; ++i)
        *fields[i] = texts[qsizetype(i)];
}

QStringList defaultRecordTexts(int record)
{
    QString perSlot;
    switch (record) {
    case 1:
        return {QStringLiteral("COM1"), QStringLiteral("19200"), QStringLiteral("2"),
                QStringLiteral("8"), QStringLiteral("None")};
    case 2:
    case 3: perSlot = QStringLiteral("---"); break;
    case 4:
    case 5:
    case 6: perSlot = QStringLiteral("0"); break;
    case 7: perSlot = QStringLiteral("48"); break;
    default: throw Error(SubscriptOutOfRange, QStringLiteral("record %1").arg(record));
    }
    QStringList texts;
    for (int k = 0; k < SlotCount; ++k)
        texts.append(perSlot);
    return texts;
}

void Fill_Default_Settings(SettingsModel &model)
{
    for (int record = 1; record <= SettingsRecordCount; ++record) {
        const QStringList defaults = defaultRecordTexts(record);
        const auto fields = recordFields(model, record);
        for (size_t i = 0; i < fields.size(); ++i) {
            // Only an empty text counts as missing: blanks are a value.
            if (fields[i]->isEmpty())
                *fields[i] = defaults[qsizetype(i)];
        }
    }
}

QByteArray buildSettingsRecord(const SettingsModel &model, int record)
{
    const QStringList texts = recordTexts(model, record);
    try {
        return buildRecord(texts);
    } catch (const Error &e) {
        throw inRecord(e, record);
    }
}

void Read_User_Setting(SettingsFile &file, int record, SettingsModel &model)
{
    const auto fields = recordFields(model, record);
    const ParsedRecord parsed = parseRecord(file.readRecord(record), int(fields.size()));
    for (size_t i = 0; i < fields.size(); ++i) {
        if (parsed.texts[i])
            *fields[i] = *parsed.texts[i];
    }
    if (parsed.fault)
        throw inRecord(*parsed.fault, record);
}

void Write_User_Setting(SettingsFile &file, int record, const SettingsModel &model)
{
    // Built in full before the file is touched: a record that cannot be built
    // leaves the file's bytes as they were.
    const QByteArray bytes = buildSettingsRecord(model, record);
    file.writeRecord(record, bytes);
}

} // namespace orbalis
