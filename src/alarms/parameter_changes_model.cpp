#include "parameter_changes_model.h"

#include "journal_csv.h"
#include "journal_model.h"

#include "base/error.h"
#include "base/whole_file_save.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace orbalis {

SqlCondition parameterChangesCondition(const ParameterChangesFilter &filter)
{
    QStringList terms;
    QVariantList values;
    if (filter.controllerId != ParameterChangesFilter::AnyController) {
        terms << QStringLiteral("controller_id = ?");
        values << filter.controllerId;
    }
    if (!filter.origin.isEmpty()) {
        terms << QStringLiteral("origin = ?");
        values << filter.origin;
    }
    if (filter.outcome != ParameterChangesFilter::Outcome::Any) {
        terms << (filter.outcome == ParameterChangesFilter::Outcome::Accepted ? QStringLiteral("outcome = ?")
                                                                             : QStringLiteral("outcome <> ?"));
        values << QStringLiteral("accepted");
    }
    if (filter.fromMs) {
        terms << QStringLiteral("time_ms >= ?");
        values << *filter.fromMs;
    }
    if (filter.toMs) {
        terms << QStringLiteral("time_ms < ?");
        values << *filter.toMs;
    }
    const QString text = filter.text.trimmed();
    if (!text.isEmpty()) {
        QStringList any;
        for (const char *column : {"mnemonic", "text_before", "text_sent", "reason", "user_name"}) {
            any << QString::fromLatin1(column) + QStringLiteral(" LIKE ? ESCAPE '\\'");
            values << likePattern(text);
        }
        terms << u'(' + any.join(QStringLiteral(" OR ")) + u')';
    }
    return {terms.isEmpty() ? QStringLiteral("1") : terms.join(QStringLiteral(" AND ")), values};
}

ParameterChangesModel::ParameterChangesModel(QObject *parent) : QAbstractTableModel(parent) {}

void ParameterChangesModel::setConnection(const QString &connection)
{
    connection_ = connection;
    reload();
}

void ParameterChangesModel::setFilter(const ParameterChangesFilter &filter)
{
    filter_ = filter;
    reload();
}

void ParameterChangesModel::reload()
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

std::optional<qint64> ParameterChangesModel::newestId()
{
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec(QStringLiteral("SELECT max(id) FROM ") + parameterWritesTableName())) {
        problem_ = q.lastError().text();
        return std::nullopt;
    }
    return q.next() ? q.value(0).toLongLong() : 0;
}

std::vector<ParameterWriteRow> ParameterChangesModel::query(const QString &where, const QVariantList &values,
                                                            const QString &limit)
{
    std::vector<ParameterWriteRow> rows;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ") + parameterWriteColumns() + QStringLiteral(" FROM ")
              + parameterWritesTableName() + QStringLiteral(" WHERE ") + where
              + QStringLiteral(" ORDER BY time_ms DESC, id DESC") + limit);
    for (qsizetype i = 0; i < values.size(); ++i)
        q.bindValue(int(i), values[i]);
    if (!q.exec()) {
        problem_ = q.lastError().text();
        return rows;
    }
    while (q.next())
        rows.push_back(readParameterWriteRow(q));
    return rows;
}

std::vector<ParameterWriteRow> ParameterChangesModel::readPage()
{
    const SqlCondition condition = parameterChangesCondition(filter_);
    // "+id": the id bound must not draw the query off the time index.
    QString where = condition.sql + QStringLiteral(" AND +id <= ?");
    QVariantList values = condition.values;
    values << newestId_;
    if (!rows_.empty()) {
        where += QStringLiteral(" AND (time_ms, id) < (?, ?)");
        values << rows_.back().timeMs << rows_.back().id;
    }
    std::vector<ParameterWriteRow> page = query(where, values, QStringLiteral(" LIMIT %1").arg(PageRows));
    more_ = int(page.size()) == PageRows;
    return page;
}

int ParameterChangesModel::fetchNewer()
{
    if (connection_.isEmpty())
        return 0;
    const SqlCondition condition = parameterChangesCondition(filter_);
    QVariantList values = condition.values;
    values << newestId_;
    std::vector<ParameterWriteRow> fresh = query(condition.sql + QStringLiteral(" AND id > ?"), values, {});
    if (const auto newest = newestId())
        newestId_ = std::max(newestId_, *newest);
    if (fresh.empty())
        return 0;
    beginInsertRows({}, 0, int(fresh.size()) - 1);
    rows_.insert(rows_.begin(), std::make_move_iterator(fresh.begin()), std::make_move_iterator(fresh.end()));
    endInsertRows();
    return int(fresh.size());
}

QString ParameterChangesModel::columnTitle(int column)
{
    static const char *const Titles[ColumnCount] = {"Time",   "Controller", "Slot",    "Parameter",
                                                    "Address", "Before",    "Sent",    "Register value",
                                                    "Outcome", "Origin",    "User"};
    return column >= 0 && column < ColumnCount ? QString::fromLatin1(Titles[column]) : QString();
}

QString ParameterChangesModel::cellText(const ParameterWriteRow &row, int column)
{
    switch (column) {
    case Time: return JournalModel::timeText(row.timeMs);
    case Controller: return QString::number(row.controllerId);
    case Slot: return row.slot > 0 ? QString::number(row.slot) : QString();
    case Parameter: return row.mnemonic;
    case Address: return QString::number(row.address);
    case Before: return row.textBefore;
    case Sent: return row.textSent;
    case Value: return QString::number(row.value);
    case Outcome: return row.reason.isEmpty() ? row.outcome : row.outcome + QStringLiteral(": ") + row.reason;
    case Origin: return row.origin;
    case User: return row.user;
    default: return {};
    }
}

int ParameterChangesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int ParameterChangesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ParameterChangesModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= int(rows_.size()))
        return {};
    return cellText(rows_[std::size_t(index.row())], index.column());
}

QVariant ParameterChangesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    return columnTitle(section);
}

bool ParameterChangesModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && more_;
}

void ParameterChangesModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() || !more_)
        return;
    std::vector<ParameterWriteRow> page = readPage();
    if (page.empty())
        return;
    const int first = int(rows_.size());
    beginInsertRows({}, first, first + int(page.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(page.begin()), std::make_move_iterator(page.end()));
    endInsertRows();
}

qint64 exportParameterChangesCsv(const QString &connection, const ParameterChangesFilter &filter,
                                 const QString &path)
{
    const SqlCondition condition = parameterChangesCondition(filter);
    QSqlQuery q(QSqlDatabase::database(connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ") + parameterWriteColumns() + QStringLiteral(" FROM ")
              + parameterWritesTableName() + QStringLiteral(" WHERE ") + condition.sql
              + QStringLiteral(" ORDER BY time_ms DESC, id DESC"));
    for (qsizetype i = 0; i < condition.values.size(); ++i)
        q.bindValue(int(i), condition.values[i]);
    if (!q.exec())
        throw Error(PathFileAccess, QStringLiteral("the journal cannot be read: ") + q.lastError().text());

    QStringList fields;
    for (int c = 0; c < ParameterChangesModel::ColumnCount; ++c)
        fields << csvField(ParameterChangesModel::columnTitle(c));
    QByteArray csv = "\xEF\xBB\xBF" + fields.join(u',').toUtf8() + "\r\n";
    qint64 rows = 0;
    while (q.next()) {
        const ParameterWriteRow row = readParameterWriteRow(q);
        fields.clear();
        for (int c = 0; c < ParameterChangesModel::ColumnCount; ++c)
            fields << csvField(ParameterChangesModel::cellText(row, c));
        csv += fields.join(u',').toUtf8() + "\r\n";
        ++rows;
    }
    if (q.lastError().isValid())
        throw Error(PathFileAccess, QStringLiteral("the journal cannot be read: ") + q.lastError().text());
    try {
        saveWholeFile(path, csv);
    } catch (const Error &e) {
        throw withContext(e, path);
    }
    return rows;
}

} // namespace orbalis
