#pragma once

#include "alarm_journal.h"
#include "journal_filter.h"

#include <QAbstractTableModel>
#include <QString>
#include <vector>

namespace orbalis {

// The journal's rows for a view, newest first, read as they are shown: a
// page of PageRows rows at a time, each page one short query over an index
// (the next page starts below the last row read), so neither a million rows
// nor a long-open read holds anything. Rows written after the first page was
// read come on top with fetchNewer(). No widget code: the window colours it.
class JournalModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int PageRows = 256;
    enum Column { Time, Controller, Slot, Name, Alarm, Change, Pv, Sv, Comment, User, ShelvedUntil, ColumnCount };

    explicit JournalModel(QObject *parent = nullptr);
    ~JournalModel() override;

    // Reads through this read connection of the calling thread (see
    // openJournalReader); empty for none. Reads the first page.
    void setConnection(const QString &connection);
    // Shows what the filter lets through, from the newest.
    void setFilter(const JournalFilter &filter);
    const JournalFilter &filter() const { return filter_; }
    // The first page again.
    void reload();
    // Puts the rows written since the shown ones were read on top; how many.
    int fetchNewer();

    const AlarmEventRow &rowAt(int row) const { return rows_[std::size_t(row)]; }
    // Why the last read failed; empty when it did not.
    const QString &problem() const { return problem_; }

    // Local time with milliseconds: "2024-05-01 12:00:00.500".
    static QString timeText(qint64 ms);
    static QString columnTitle(int column);
    // A row's text in a column, as shown and exported.
    static QString cellText(const AlarmEventRow &row, int column);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent = {}) const override;
    void fetchMore(const QModelIndex &parent = {}) override;

private:
    // The rows after the last one read, at most PageRows.
    std::vector<AlarmEventRow> readPage();
    void readFirstPage();

    QString connection_;
    JournalFilter filter_;
    std::vector<AlarmEventRow> rows_;
    qint64 newestId_ = 0; // rows above it were written after the first page was read
    bool more_ = false;
    QString problem_;
};

} // namespace orbalis
