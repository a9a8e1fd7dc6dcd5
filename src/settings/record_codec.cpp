#include "record_codec.h"

#include "cp950.h"
#include "settings_store.h"

namespace orbalis {

namespace {

constexpr int PrefixSize = 2;

// The byte count each text will occupy, prefix included.
int encodedRecordSize(const QStringList &texts, QList<QByteArray> *encoded)
{
    int total = 0;
    for (const QString &text : texts) {
        QByteArray bytes = encodeCp950(text);
        total += PrefixSize + int(bytes.size());
        if (encoded)
            encoded->append(std::move(bytes));
    }
    return total;
}

} // namespace

int recordExcessBytes(const QStringList &texts)
{
    const int total = encodedRecordSize(texts, nullptr);
    return total > RecordSize ? total - RecordSize : 0;
}

QByteArray buildRecord(const QStringList &texts)
{
    QList<QByteArray> encoded;
    const int total = encodedRecordSize(texts, &encoded);
    if (total > RecordSize)
        throw Error(BadRecordLength,
                    QStringLiteral("the texts need %1 bytes, %2 more than the %3 of a record")
                        .arg(total)
                        .arg(total - RecordSize)
                        .arg(RecordSize));
    QByteArray record;
    record.reserve(RecordSize);
    for (const QByteArray &bytes : encoded) {
        const auto n = quint16(bytes.size());
        record.append(char(n & 0xff));
        record.append(char(n >> 8));
        record.append(bytes);
    }
    record.append(RecordSize - record.size(), '\0');
    return record;
}

ParsedRecord parseRecord(const QByteArray &bytes, int count)
{
    ParsedRecord parsed;
    parsed.texts.assign(size_t(count), std::nullopt);
    const qsizetype available = std::min<qsizetype>(bytes.size(), RecordSize);
    qsizetype at = 0;
    for (int i = 0; i < count; ++i) {
        if (at + PrefixSize > RecordSize) {
            parsed.fault = Error(BadRecordLength,
                                 QStringLiteral("text %1 starts past the end of its record").arg(i + 1));
            break;
        }
        if (at + PrefixSize > available) {
            // The file ends inside this record: what lies beyond reads as empty.
            parsed.texts[size_t(i)] = QString();
            continue;
        }
        const auto lo = quint8(bytes[at]);
        const auto hi = quint8(bytes[at + 1]);
        const qsizetype length = qsizetype(lo) | (qsizetype(hi) << 8);
        const qsizetype start = at + PrefixSize;
        if (start + length > RecordSize) {
            parsed.fault = Error(BadRecordLength,
                                 QStringLiteral("text %1 claims %2 bytes, past the end of its record")
                                     .arg(i + 1)
                                     .arg(length));
            break;
        }
        if (start + length > available) {
            parsed.fault = Error(InputPastEndOfFile,
                                 QStringLiteral("text %1 claims %2 bytes, past the end of the file")
                                     .arg(i + 1)
                                     .arg(length));
            break;
        }
        try {
            parsed.texts[size_t(i)] = decodeCp950(bytes.mid(start, length));
        } catch (const Error &e) {
            // The prefix is sound, so the texts after this one can still be read.
            if (!parsed.fault)
                parsed.fault = Error(e.number(), QStringLiteral("text %1: %2").arg(i + 1).arg(e.detail()));
        }
        at = start + length;
    }
    return parsed;
}

} // namespace orbalis
