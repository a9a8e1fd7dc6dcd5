#pragma once

#include "core/traffic_ring.h"

#include <QAbstractTableModel>
#include <QFont>
#include <deque>

namespace orbalis {

// The traffic view's frames: what the ring held when the view last looked,
// oldest first, as many as the ring holds at most. Following the line it
// reads them from the ring itself; paused, it keeps a copy of what the ring
// held, which the ring may drop as it goes on. A filter shows one
// controller's frames.
class TrafficModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TimeColumn, DirectionColumn, IdColumn, ExchangeColumn, FunctionColumn, OutcomeColumn,
                  BytesColumn, ColumnCount };
    static constexpr int AllControllers = -1;

    explicit TrafficModel(TrafficRing &ring, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Takes the frames that came since the last look; nothing while paused.
    void refresh();
    void setPaused(bool paused);
    bool paused() const { return paused_; }
    // Empties the ring and the view.
    void clear();
    // A controller ID, or AllControllers.
    void setFilter(int id);
    int filter() const { return filter_; }

    // The frame of a row; null when the ring dropped it after the last look
    // (its row goes at the next), so a row never shows another frame.
    const TrafficFrame *frame(int row) const;

private:
    bool passes(const TrafficFrame &f) const { return filter_ == AllControllers || f.id == filter_; }
    const TrafficFrame *frameNumbered(std::uint64_t number) const;
    // The first and end numbers of the frames the rows are chosen from.
    std::uint64_t sourceFirst() const;
    void rebuildRows();
    void dropRowsOfDroppedFrames();

    TrafficRing &ring_;
    const QFont fixedFont_;   // of the bytes and the function; asked for once, not per cell
    std::deque<std::uint64_t> rows_;    // ring numbers of the frames shown
    std::uint64_t seenEnd_ = 0;         // ring number of the first frame not looked at yet
    std::deque<TrafficFrame> held_;     // paused only: copies; their bytes are shared with the ring's
    std::uint64_t heldFirst_ = 0;       // ring number of held_.front()
    int filter_ = AllControllers;
    bool paused_ = false;
};

} // namespace orbalis
