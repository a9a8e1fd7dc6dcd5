#include "parameter_changes_model.h"

#include "journal_csv.h"
#include "journal_model.h"

namespace orbalis {

ParameterChangesModel::ParameterChangesModel(QObject *parent) : PagedParameterWrites(parent) {}

QString ParameterChangesModel::columnTitle(int column)
{
    static const char *const Titles[ColumnCount] = {"Time",   "Controller", "Slot",    "Parameter",
                                                    "Address", "Before",    "Sent",    "Register value",
                                                    "Outcome", "Origin",    "User"};
    return column >= 0 && column < ColumnCount ? QString::fromLatin1(Titles[column]) : QString();
}

QString ParameterChangesModel::cellText(const ParameterWriteRow &row, int column)
{
    switch (column) {
    case Time: return JournalModel::timeText(row.timeMs);
    case Controller: return QString::number(row.controllerId);
    case Slot: return row.slot > 0 ? QString::number(row.slot) : QString();
    case Parameter: return row.mnemonic;
    case Address: return QString::number(row.address);
    case Before: return row.textBefore;
    case Sent: return row.textSent;
    case Value: return QString::number(row.value);
    case Outcome: return row.reason.isEmpty() ? row.outcome : row.outcome + QStringLiteral(": ") + row.reason;
    case Origin: return row.origin;
    case User: return row.user;
    default: return {};
    }
}

qint64 exportParameterChangesCsv(const QString &connection, const ParameterChangesFilter &filter,
                                 const QString &path)
{
    return exportTableCsv<ParameterChangesModel>(connection, filter, path);
}

} // namespace orbalis
