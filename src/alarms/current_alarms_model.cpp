#include "current_alarms_model.h"

#include "alarm_colours.h"
#include "journal_model.h"

#include <QBrush>

namespace orbalis {

CurrentAlarmsModel::CurrentAlarmsModel(const AlarmTracker &tracker, Shows shows, QObject *parent)
    : QAbstractTableModel(parent), tracker_(tracker), shows_(shows)
{
    refresh();
}

void CurrentAlarmsModel::refresh()
{
    auto alarms = shows_ == Shows::Current ? tracker_.current() : tracker_.shelved();
    if (alarms.size() == alarms_.size()) {
        // The same rows more often than not: no reset, the selection stays.
        bool sameKeys = true;
        for (std::size_t i = 0; i < alarms.size() && sameKeys; ++i)
            sameKeys = alarms[i].key == alarms_[i].key;
        if (sameKeys) {
            alarms_ = std::move(alarms);
            if (!alarms_.empty())
                Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
            return;
        }
    }
    beginResetModel();
    alarms_ = std::move(alarms);
    endResetModel();
}

int CurrentAlarmsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(alarms_.size());
}

int CurrentAlarmsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CurrentAlarmsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(alarms_.size()))
        return {};
    const AlarmTracker::Alarm &a = alarms_[std::size_t(index.row())];
    switch (role) {
    case Qt::BackgroundRole: return QBrush(alarmStateColour(a.state));
    case Qt::ForegroundRole: return QBrush(alarmStateTextColour(a.state));
    case Qt::DisplayRole: break;
    default: return {};
    }
    switch (index.column()) {
    case Time:
        return JournalModel::timeText(shows_ == Shows::Shelved && a.shelvedUntilMs ? *a.shelvedUntilMs : a.sinceMs);
    case Slot: return a.key.isLine() ? QStringLiteral("Line") : QString::number(a.key.slot + 1);
    case Controller: return a.key.isLine() ? QString() : QString::number(a.key.controllerId);
    case Name: return a.slotName;
    case Alarm: return alarmName(a.key.kind);
    case State: return stateText(a.state);
    case Chattering: return tracker_.rates().chattering(a.key) ? QStringLiteral("chattering") : QString();
    default: return {};
    }
}

QVariant CurrentAlarmsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    switch (section) {
    case Time: return shows_ == Shows::Shelved ? QStringLiteral("Shelved until") : QStringLiteral("Since");
    case Slot: return QStringLiteral("Slot");
    case Controller: return QStringLiteral("Controller");
    case Name: return QStringLiteral("Name");
    case Alarm: return QStringLiteral("Alarm");
    case State: return QStringLiteral("State");
    case Chattering: return QStringLiteral("Rate");
    default: return {};
    }
}

} // namespace orbalis
