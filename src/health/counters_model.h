#pragma once

#include "core/line_counters.h"

#include <QAbstractTableModel>
#include <array>
#include <vector>

namespace orbalis {

struct Console;

// The counters of the line monitor: one row per bound slot, in slot order,
// with its controller's counters.
class CountersModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        SlotColumn,
        IdColumn,
        NameColumn,
        HealthColumn,
        SentColumn,
        GoodColumn,
        NoAnswerColumn,
        CrcErrorColumn,
        WrongReplyColumn,
        ExceptionColumn,
        NotJudgedColumn,
        AnsweredColumn,
        ReplyLastColumn,
        ReplyMeanColumn,
        ReplyWorstColumn,
        LastGoodColumn,
        ColumnCount
    };

    CountersModel(const Console &console, const LineCounters &counters, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Rows follow the slots' bindings, cells the counters.
    void refresh();
    int slotOfRow(int row) const { return slots_.at(std::size_t(row)); }

private:
    struct Row {
        int slot;
        std::uint8_t id;
        QString name;
        bool operator==(const Row &) const = default;
    };
    std::vector<Row> boundRows() const;
    QVariant text(const Row &row, int column) const;

    const Console &console_;
    const LineCounters &counters_;
    // What each row showed last, to redraw only the cells that changed: a
    // row is looked at again when its counts moved, and then only the cells
    // whose text differs are redrawn.
    struct Seen {
        std::uint64_t sent, judged, notJudged;
        bool operator==(const Seen &) const = default;
    };
    Seen seenOf(const Row &row) const;
    using Texts = std::array<QString, ColumnCount>;
    Texts textsOf(const Row &row) const;
    void takeRows(std::vector<Row> rows);

    std::vector<Row> rows_;
    std::vector<Seen> seen_;
    std::vector<Texts> shown_;
    std::vector<int> slots_;
    std::uint64_t seenChanges_ = 0;
};

} // namespace orbalis
