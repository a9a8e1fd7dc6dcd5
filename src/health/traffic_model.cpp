#include "traffic_model.h"

#include "traffic_text.h"

#include <QBrush>
#include <QFontDatabase>

namespace orbalis {

namespace {

const char *const Headers[TrafficModel::ColumnCount] = {"Time", "Dir", "ID", "Exchange", "Function", "Outcome",
                                                        "Bytes"};

} // namespace

TrafficModel::TrafficModel(TrafficRing &ring, QObject *parent)
    : QAbstractTableModel(parent), ring_(ring), fixedFont_(QFontDatabase::systemFont(QFontDatabase::FixedFont))
{
    takeAllFromRing();
}

void TrafficModel::takeAllFromRing()
{
    frames_.clear();
    firstNumber_ = ring_.firstNumber();
    for (std::uint64_t n = ring_.firstNumber(); n < ring_.endNumber(); ++n)
        frames_.push_back(ring_.at(n));
    rebuildRows();
}

void TrafficModel::rebuildRows()
{
    rows_.clear();
    for (std::size_t i = 0; i < frames_.size(); ++i)
        if (passes(frames_[i]))
            rows_.push_back(firstNumber_ + i);
}

int TrafficModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int TrafficModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount || role != Qt::DisplayRole)
        return {};
    return QString::fromLatin1(Headers[section]);
}

const TrafficFrame &TrafficModel::frame(int row) const
{
    return frames_[std::size_t(rows_[std::size_t(row)] - firstNumber_)];
}

QVariant TrafficModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const TrafficFrame &f = frame(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        switch (index.column()) {
        case TimeColumn: return trafficTimeText(f.wallMs);
        case DirectionColumn: return trafficDirectionText(f.direction);
        case IdColumn: return QString::number(f.id);
        case ExchangeColumn: return exchangeText(f.exchange);
        case FunctionColumn: return functionText(f.bytes);
        case OutcomeColumn: return frameOutcomeText(f);
        case BytesColumn: return bytesText(f.bytes);
        }
        return {};
    case Qt::FontRole:
        if (index.column() == BytesColumn || index.column() == FunctionColumn)
            return fixedFont_;
        return {};
    case Qt::ForegroundRole:
        if (f.direction == TrafficDirection::Received && f.outcome != LineOutcome::Good)
            return QBrush(QColor(180, 0, 0));
        return {};
    default:
        return {};
    }
}

void TrafficModel::refresh()
{
    if (paused_)
        return;
    const std::size_t capacity = ring_.capacity();
    std::uint64_t from = firstNumber_ + frames_.size();
    // Frames the ring dropped before we looked (or all of them, after a clear).
    if (from < ring_.firstNumber())
        from = ring_.firstNumber();
    const std::uint64_t end = ring_.endNumber();
    if (end <= from)
        return;
    if (end - from >= capacity || from != firstNumber_ + frames_.size()) {
        beginResetModel();
        takeAllFromRing();
        endResetModel();
        return;
    }

    // Make room first: the oldest frames go, and their rows with them.
    const std::size_t incoming = std::size_t(end - from);
    const std::size_t evict = frames_.size() + incoming > capacity ? frames_.size() + incoming - capacity : 0;
    if (evict > 0) {
        const std::uint64_t newFirst = firstNumber_ + evict;
        std::size_t rowsGone = 0;
        while (rowsGone < rows_.size() && rows_[rowsGone] < newFirst)
            ++rowsGone;
        if (rowsGone > 0) {
            beginRemoveRows({}, 0, int(rowsGone) - 1);
            rows_.erase(rows_.begin(), rows_.begin() + qsizetype(rowsGone));
        }
        frames_.erase(frames_.begin(), frames_.begin() + qsizetype(evict));
        firstNumber_ = newFirst;
        if (rowsGone > 0)
            endRemoveRows();
    }

    std::size_t shown = 0;
    for (std::uint64_t n = from; n < end; ++n) {
        frames_.push_back(ring_.at(n));
        shown += passes(frames_.back()) ? 1 : 0;
    }
    if (shown == 0)
        return;
    const int first = int(rows_.size());
    beginInsertRows({}, first, first + int(shown) - 1);
    for (std::uint64_t n = from; n < end; ++n)
        if (passes(frames_[std::size_t(n - firstNumber_)]))
            rows_.push_back(n);
    endInsertRows();
}

void TrafficModel::setPaused(bool paused)
{
    paused_ = paused;
    if (!paused_)
        refresh();
}

void TrafficModel::clear()
{
    ring_.clear();
    beginResetModel();
    frames_.clear();
    rows_.clear();
    firstNumber_ = ring_.endNumber();
    endResetModel();
}

void TrafficModel::setFilter(int id)
{
    if (id == filter_)
        return;
    beginResetModel();
    filter_ = id;
    rebuildRows();
    endResetModel();
}

} // namespace orbalis
