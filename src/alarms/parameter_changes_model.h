#pragma once

#include "journal_filter.h"
#include "parameter_write_journal.h"

#include <QAbstractTableModel>
#include <QString>
#include <optional>
#include <vector>

namespace orbalis {

// What the "Parameter changes" tab shows: every choice narrows it.
struct ParameterChangesFilter {
    static constexpr int AnyController = -1;
    enum class Outcome { Any, Accepted, NotAccepted };

    int controllerId = AnyController;
    QString origin;                   // writeOriginText; empty for all
    Outcome outcome = Outcome::Any;
    std::optional<qint64> fromMs;     // time_ms >= fromMs (UTC milliseconds)
    std::optional<qint64> toMs;       // time_ms < toMs
    QString text;                     // in the mnemonic, the texts, the reason or the user

    friend bool operator==(const ParameterChangesFilter &, const ParameterChangesFilter &) = default;
};
SqlCondition parameterChangesCondition(const ParameterChangesFilter &filter);

// The journal's parameter writes for a view, newest first, a page of
// PageRows at a time (each page one short query over the time index); rows
// written after the first page was read come on top with fetchNewer().
class ParameterChangesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int PageRows = 256;
    enum Column {
        Time, Controller, Slot, Parameter, Address, Before, Sent, Value, Outcome, Origin, User, ColumnCount
    };

    explicit ParameterChangesModel(QObject *parent = nullptr);

    // Reads through this read connection of the calling thread; empty for none.
    void setConnection(const QString &connection);
    void setFilter(const ParameterChangesFilter &filter);
    const ParameterChangesFilter &filter() const { return filter_; }
    void reload();
    int fetchNewer();

    const ParameterWriteRow &rowAt(int row) const { return rows_[std::size_t(row)]; }
    const QString &problem() const { return problem_; }

    static QString columnTitle(int column);
    // A row's text in a column, as shown and exported: the outcome with a
    // refusal's reason ("refused: code 2 (illegal data address)").
    static QString cellText(const ParameterWriteRow &row, int column);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent = {}) const override;
    void fetchMore(const QModelIndex &parent = {}) override;

private:
    std::vector<ParameterWriteRow> query(const QString &where, const QVariantList &values, const QString &limit);
    std::vector<ParameterWriteRow> readPage();
    std::optional<qint64> newestId();

    QString connection_;
    ParameterChangesFilter filter_;
    std::vector<ParameterWriteRow> rows_;
    qint64 newestId_ = 0;
    bool more_ = false;
    QString problem_;
};

// Writes every row the filter lets through, newest first, as the tab shows
// them: UTF-8 with a byte-order mark, lines ending in CR LF, saved whole or
// not at all. Throws Error with the reason; returns the number of rows.
qint64 exportParameterChangesCsv(const QString &connection, const ParameterChangesFilter &filter,
                                 const QString &path);

} // namespace orbalis
