#include "parameter_write_journal.h"

#include "core/parameter_diff.h"
#include "journal/journal_writer.h"

#include <QSqlQuery>
#include <QVariant>

namespace orbalis {

QString parameterWritesTableName()
{
    return QStringLiteral("parameter_writes");
}

JournalTable parameterWritesTable()
{
    // Indexes for the window: newest first, by controller within a time range.
    return {parameterWritesTableName(),
            {{QStringLiteral("time_ms"), QStringLiteral("INTEGER NOT NULL")},
             {QStringLiteral("controller_id"), QStringLiteral("INTEGER NOT NULL")},
             {QStringLiteral("slot"), QStringLiteral("INTEGER")},
             {QStringLiteral("mnemonic"), QStringLiteral("TEXT NOT NULL")},
             {QStringLiteral("address"), QStringLiteral("INTEGER NOT NULL")},
             {QStringLiteral("text_before"), QStringLiteral("TEXT")},
             {QStringLiteral("text_sent"), QStringLiteral("TEXT NOT NULL")},
             {QStringLiteral("register_value"), QStringLiteral("INTEGER NOT NULL")},
             {QStringLiteral("outcome"), QStringLiteral("TEXT NOT NULL")},
             {QStringLiteral("reason"), QStringLiteral("TEXT")},
             {QStringLiteral("origin"), QStringLiteral("TEXT NOT NULL")},
             {QStringLiteral("user_name"), QStringLiteral("TEXT NOT NULL")}},
            {{QStringLiteral("time_ms")}, {QStringLiteral("controller_id"), QStringLiteral("time_ms")}}};
}

QVariantList parameterWriteValues(const ParameterWrite &w, const QString &user)
{
    const auto textOrNull = [](const QString &text) {
        return text.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(text);
    };
    return {w.at.toMSecsSinceEpoch(),
            w.controllerId,
            w.slot >= 0 ? QVariant(w.slot + 1) : QVariant(QMetaType(QMetaType::Int)),
            parameterMnemonic(w.address),
            w.address,
            textOrNull(w.textBefore),
            w.textSent,
            // The register as sent: a 16-bit word.
            int(std::uint16_t(w.value)),
            writeOutcomeText(w),
            textOrNull(writeRefusalReason(w)),
            writeOriginText(w.origin),
            user};
}

QString parameterWriteColumns()
{
    return QStringLiteral("id, ") + parameterWritesTable().columnList();
}

ParameterWriteRow readParameterWriteRow(const QSqlQuery &q)
{
    ParameterWriteRow r;
    r.id = q.value(0).toLongLong();
    r.timeMs = q.value(1).toLongLong();
    r.controllerId = q.value(2).toInt();
    r.slot = q.value(3).toInt();
    r.mnemonic = q.value(4).toString();
    r.address = q.value(5).toInt();
    r.textBefore = q.value(6).toString();
    r.textSent = q.value(7).toString();
    r.value = q.value(8).toInt();
    r.outcome = q.value(9).toString();
    r.reason = q.value(10).toString();
    r.origin = q.value(11).toString();
    r.user = q.value(12).toString();
    return r;
}

void ParameterWriteJournal::parameterWritten(const ParameterWrite &write)
{
    writer_.append(parameterWritesTableName(), parameterWriteValues(write, user_));
}

} // namespace orbalis
