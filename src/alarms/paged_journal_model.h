#pragma once

#include "journal_filter.h"

#include <QAbstractTableModel>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <algorithm>
#include <iterator>
#include <optional>
#include <vector>

namespace orbalis {

// One journal table's rows for a view, newest first, read as they are shown:
// a page of PageRows rows at a time, each page one short query over the time
// index (the next page starts below the last row read), so neither a million
// rows nor a long-open read holds anything. Rows written after the first page
// was read come on top with fetchNewer(). No widget code.
//
// Table names the table and how its rows read and show; it gives
//   static QString tableName(), static QString columnList(),
//   static Row readRow(const QSqlQuery &), static SqlCondition condition(const Filter &),
//   ColumnCount, static QString columnTitle(int), static QString cellText(const Row &, int).
// Row has the members id and timeMs.
template <class Table, class Row, class Filter>
class PagedJournalModel : public QAbstractTableModel {
public:
    static constexpr int PageRows = 256;

    explicit PagedJournalModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}

    // Reads through this read connection of the calling thread (see
    // openJournalReader); empty for none. Reads the first page.
    void setConnection(const QString &connection)
    {
        connection_ = connection;
        reload();
    }
    // Shows what the filter lets through, from the newest.
    void setFilter(const Filter &filter)
    {
        filter_ = filter;
        reload();
    }
    const Filter &filter() const { return filter_; }

    // The first page again.
    void reload()
    {
        beginResetModel();
        rows_.clear();
        more_ = false;
        problem_.clear();
        if (!connection_.isEmpty()) {
            if (const auto newest = newestId()) {
                newestId_ = *newest;
                rows_ = readPage();
            }
        }
        endResetModel();
    }

    // Puts the rows written since the shown ones were read on top; how many.
    int fetchNewer()
    {
        if (connection_.isEmpty())
            return 0;
        const SqlCondition condition = Table::condition(filter_);
        // The new rows are found by their ids first (a few at the top of the
        // table), then filtered and put in order.
        QVariantList values{newestId_};
        values += condition.values;
        const auto fresh = select(QStringLiteral("WITH fresh AS MATERIALIZED (SELECT * FROM ") + Table::tableName()
                                      + QStringLiteral(" WHERE id > ?) SELECT ") + Table::columnList()
                                      + QStringLiteral(" FROM fresh WHERE ") + condition.sql
                                      + QStringLiteral(" ORDER BY time_ms DESC, id DESC"),
                                  values);
        if (!fresh)
            return 0;
        qint64 newest = newestId_;
        for (const Row &row : *fresh)
            newest = std::max(newest, row.id);
        // Rows the filter leaves out move the mark as well.
        QSqlQuery top(QSqlDatabase::database(connection_, false));
        if (top.exec(QStringLiteral("SELECT max(id) FROM ") + Table::tableName()) && top.next())
            newest = std::max(newest, top.value(0).toLongLong());
        newestId_ = newest;
        putRows(0, *fresh);
        return int(fresh->size());
    }

    const Row &rowAt(int row) const { return rows_[std::size_t(row)]; }
    // Why the last read failed; empty when it did not.
    const QString &problem() const { return problem_; }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(rows_.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : Table::ColumnCount; }
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override
    {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= int(rows_.size()))
            return {};
        return Table::cellText(rows_[std::size_t(index.row())], index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override
    {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
            return {};
        return Table::columnTitle(section);
    }
    bool canFetchMore(const QModelIndex &parent = {}) const override { return !parent.isValid() && more_; }
    void fetchMore(const QModelIndex &parent = {}) override
    {
        if (parent.isValid() || !more_)
            return;
        putRows(int(rows_.size()), readPage());
    }

private:
    std::optional<qint64> newestId()
    {
        QSqlQuery q(QSqlDatabase::database(connection_, false));
        if (!q.exec(QStringLiteral("SELECT max(id) FROM ") + Table::tableName())) {
            problem_ = q.lastError().text();
            return std::nullopt;
        }
        return q.next() ? q.value(0).toLongLong() : 0;
    }

    // The rows after the last one read, at most PageRows.
    std::vector<Row> readPage()
    {
        const SqlCondition condition = Table::condition(filter_);
        // "+id": the id bound must not draw the query off the time index.
        QString sql = QStringLiteral("SELECT ") + Table::columnList() + QStringLiteral(" FROM ") + Table::tableName()
            + QStringLiteral(" WHERE ") + condition.sql + QStringLiteral(" AND +id <= ?");
        QVariantList values = condition.values;
        values << newestId_;
        if (!rows_.empty()) {
            sql += QStringLiteral(" AND (time_ms, id) < (?, ?)");
            values << rows_.back().timeMs << rows_.back().id;
        }
        sql += QStringLiteral(" ORDER BY time_ms DESC, id DESC LIMIT ") + QString::number(PageRows);
        std::vector<Row> page = select(sql, values).value_or(std::vector<Row>{});
        more_ = int(page.size()) == PageRows;
        return page;
    }

    // The rows of a query; nullopt (and the problem kept) when it fails.
    std::optional<std::vector<Row>> select(const QString &sql, const QVariantList &values)
    {
        QSqlQuery q(QSqlDatabase::database(connection_, false));
        q.setForwardOnly(true);
        q.prepare(sql);
        for (qsizetype i = 0; i < values.size(); ++i)
            q.bindValue(int(i), values[i]);
        if (!q.exec()) {
            problem_ = q.lastError().text();
            return std::nullopt;
        }
        std::vector<Row> rows;
        while (q.next())
            rows.push_back(Table::readRow(q));
        return rows;
    }

    void putRows(int at, std::vector<Row> rows)
    {
        if (rows.empty())
            return;
        beginInsertRows({}, at, at + int(rows.size()) - 1);
        rows_.insert(rows_.begin() + at, std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
        endInsertRows();
    }

    QString connection_;
    Filter filter_;
    std::vector<Row> rows_;
    qint64 newestId_ = 0; // rows above it were written after the first page was read
    bool more_ = false;
    QString problem_;
};

} // namespace orbalis
