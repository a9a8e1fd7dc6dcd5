#pragma once

#include "alarm_tracker.h"

#include <QAbstractTableModel>
#include <vector>

namespace orbalis {

// The alarms of the tracker that the window lists: the current ones (not
// normal, not shelved; newest first) or the shelved ones (soonest to end
// first), each row in its state's colour.
class CurrentAlarmsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Shows { Current, Shelved };
    enum Column { Time, Slot, Controller, Name, Alarm, State, Chattering, ColumnCount };

    CurrentAlarmsModel(const AlarmTracker &tracker, Shows shows, QObject *parent = nullptr);

    // Takes the tracker's alarms again.
    void refresh();
    const AlarmTracker::Alarm &alarmAt(int row) const { return alarms_[std::size_t(row)]; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const AlarmTracker &tracker_;
    const Shows shows_;
    std::vector<AlarmTracker::Alarm> alarms_;
};

} // namespace orbalis
