#include "traffic_model.h"

#include "core/traffic_text.h"

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
    rebuildRows();
}

const TrafficFrame *TrafficModel::frameNumbered(std::uint64_t number) const
{
    if (paused_)
        return number >= heldFirst_ && number - heldFirst_ < held_.size() ? &held_[std::size_t(number - heldFirst_)]
                                                                          : nullptr;
    return number >= ring_.firstNumber() && number < ring_.endNumber() ? &ring_.at(number) : nullptr;
}

std::uint64_t TrafficModel::sourceFirst() const
{
    return paused_ ? heldFirst_ : ring_.firstNumber();
}

void TrafficModel::rebuildRows()
{
    rows_.clear();
    if (!paused_)
        seenEnd_ = ring_.endNumber();
    for (std::uint64_t n = sourceFirst(); n < seenEnd_; ++n)
        if (const TrafficFrame *f = frameNumbered(n); f && passes(*f))
            rows_.push_back(n);
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

const TrafficFrame *TrafficModel::frame(int row) const
{
    return frameNumbered(rows_[std::size_t(row)]);
}

QVariant TrafficModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const TrafficFrame *shown = frame(index.row());
    if (!shown)
        return {};
    const TrafficFrame &f = *shown;
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
        case BytesColumn: return frameBytesText(f);
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

void TrafficModel::dropRowsOfDroppedFrames()
{
    std::size_t gone = 0;
    while (gone < rows_.size() && rows_[gone] < ring_.firstNumber())
        ++gone;
    if (gone == 0)
        return;
    beginRemoveRows({}, 0, int(gone) - 1);
    rows_.erase(rows_.begin(), rows_.begin() + qsizetype(gone));
    endRemoveRows();
}

void TrafficModel::refresh()
{
    if (paused_)
        return;
    // The rows of frames the ring dropped go first, then the new frames come.
    dropRowsOfDroppedFrames();
    const std::uint64_t from = std::max(seenEnd_, ring_.firstNumber());
    const std::uint64_t end = ring_.endNumber();
    seenEnd_ = end;
    std::size_t shown = 0;
    for (std::uint64_t n = from; n < end; ++n)
        shown += passes(ring_.at(n)) ? 1 : 0;
    if (shown == 0)
        return;
    const int first = int(rows_.size());
    beginInsertRows({}, first, first + int(shown) - 1);
    for (std::uint64_t n = from; n < end; ++n)
        if (passes(ring_.at(n)))
            rows_.push_back(n);
    endInsertRows();
}

void TrafficModel::setPaused(bool paused)
{
    if (paused == paused_)
        return;
    if (paused) {
        // What the rows show is kept as it is; frames the ring dropped since
        // the last look are gone from it already, and their rows go.
        dropRowsOfDroppedFrames();
        heldFirst_ = ring_.firstNumber();
        held_.clear();
        for (std::uint64_t n = heldFirst_; n < seenEnd_; ++n)
            held_.push_back(ring_.at(n));
        paused_ = true;
        return;
    }
    beginResetModel();
    paused_ = false;
    held_.clear();
    rebuildRows();
    endResetModel();
}

void TrafficModel::clear()
{
    ring_.clear();
    beginResetModel();
    held_.clear();
    heldFirst_ = ring_.endNumber();
    rows_.clear();
    seenEnd_ = ring_.endNumber();
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
