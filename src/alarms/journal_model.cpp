#include "journal_model.h"

#include <QDateTime>

namespace orbalis {

namespace {

QString optionalNumber(const std::optional<int> &n)
{
    return n ? QString::number(*n) : QString();
}

} // namespace

JournalModel::JournalModel(QObject *parent) : PagedAlarmEvents(parent) {}

JournalModel::~JournalModel() = default;

QString JournalModel::timeText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QString JournalModel::columnTitle(int column)
{
    static const char *const Titles[ColumnCount] = {"Time", "Controller", "Slot",    "Name", "Alarm",        "Change",
                                                    "PV",   "SV",         "Comment", "User", "Shelved until"};
    return column >= 0 && column < ColumnCount ? QString::fromLatin1(Titles[column]) : QString();
}

QString JournalModel::cellText(const AlarmEventRow &row, int column)
{
    switch (column) {
    case Time: return timeText(row.timeMs);
    case Controller: return optionalNumber(row.controllerId);
    case Slot: return optionalNumber(row.slot);
    case Name: return row.slotName;
    case Alarm: return row.alarm;
    case Change: return row.change;
    case Pv: return row.pv;
    case Sv: return row.sv;
    case Comment: return row.comment;
    case User: return row.user;
    case ShelvedUntil: return row.shelvedUntilMs ? timeText(*row.shelvedUntilMs) : QString();
    default: return {};
    }
}

} // namespace orbalis
