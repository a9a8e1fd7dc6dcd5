#include "journal_model.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace orbalis {

namespace {

QString optionalNumber(const std::optional<int> &n)
{
    return n ? QString::number(*n) : QString();
}

} // namespace

JournalModel::JournalModel(QObject *parent) : QAbstractTableModel(parent) {}

JournalModel::~JournalModel() = default;

void JournalModel::setConnection(const QString &connection)
{
    connection_ = connection;
    reload();
}

void JournalModel::setFilter(const JournalFilter &filter)
{
    filter_ = filter;
    reload();
}

void JournalModel::reload()
{
    beginResetModel();
    rows_.clear();
    more_ = false;
    problem_.clear();
    readFirstPage();
    endResetModel();
}

void JournalModel::readFirstPage()
{
    if (connection_.isEmpty())
        return;
    QSqlQuery newest(QSqlDatabase::database(connection_, false));
    if (!newest.exec(QStringLiteral("SELECT max(id) FROM ") + alarmEventsTableName())) {
        problem_ = newest.lastError().text();
        return;
    }
    newestId_ = newest.next() ? newest.value(0).toLongLong() : 0;
    rows_ = readPage();
}

std::vector<AlarmEventRow> JournalModel::readPage()
{
    std::vector<AlarmEventRow> page;
    const SqlCondition condition = journalCondition(filter_);
    // "+id": the id bound must not draw the query off the time index.
    QString sql = QStringLiteral("SELECT ") + alarmEventColumns() + QStringLiteral(" FROM ") + alarmEventsTableName()
        + QStringLiteral(" WHERE ") + condition.sql + QStringLiteral(" AND +id <= ?");
    QVariantList values = condition.values;
    values << newestId_;
    if (!rows_.empty()) {
        sql += QStringLiteral(" AND (time_ms, id) < (?, ?)");
        values << rows_.back().timeMs << rows_.back().id;
    }
    sql += QStringLiteral(" ORDER BY time_ms DESC, id DESC LIMIT ") + QString::number(PageRows);

    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    q.prepare(sql);
    for (qsizetype i = 0; i < values.size(); ++i)
        q.bindValue(int(i), values[i]);
    if (!q.exec()) {
        problem_ = q.lastError().text();
        more_ = false;
        return page;
    }
    while (q.next())
        page.push_back(readAlarmEventRow(q));
    more_ = int(page.size()) == PageRows;
    return page;
}

int JournalModel::fetchNewer()
{
    if (connection_.isEmpty())
        return 0;
    const SqlCondition condition = journalCondition(filter_);
    // The new rows are found by their ids first (a few at the top of the
    // table), then filtered and put in order.
    const QString sql = QStringLiteral("WITH fresh AS MATERIALIZED (SELECT * FROM ") + alarmEventsTableName()
        + QStringLiteral(" WHERE id > ?) SELECT ") + alarmEventColumns() + QStringLiteral(" FROM fresh WHERE ")
        + condition.sql + QStringLiteral(" ORDER BY time_ms DESC, id DESC");
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    q.prepare(sql);
    q.bindValue(0, newestId_);
    for (qsizetype i = 0; i < condition.values.size(); ++i)
        q.bindValue(int(i + 1), condition.values[i]);
    if (!q.exec()) {
        problem_ = q.lastError().text();
        return 0;
    }
    std::vector<AlarmEventRow> fresh;
    qint64 newest = newestId_;
    while (q.next()) {
        fresh.push_back(readAlarmEventRow(q));
        newest = std::max(newest, fresh.back().id);
    }
    // Rows the filter leaves out move the mark as well.
    QSqlQuery top(QSqlDatabase::database(connection_, false));
    if (top.exec(QStringLiteral("SELECT max(id) FROM ") + alarmEventsTableName()) && top.next())
        newest = std::max(newest, top.value(0).toLongLong());
    newestId_ = newest;
    if (fresh.empty())
        return 0;
    beginInsertRows({}, 0, int(fresh.size()) - 1);
    rows_.insert(rows_.begin(), std::make_move_iterator(fresh.begin()), std::make_move_iterator(fresh.end()));
    endInsertRows();
    return int(fresh.size());
}

QString JournalModel::timeText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QString JournalModel::columnTitle(int column)
{
    static const char *const Titles[ColumnCount] = {"Time", "Controller", "Slot",    "Name", "Alarm",        "Change",
                                                    "PV",   "SV",         "Comment", "User", "Shelved until"};
    return column >= 0 && column < ColumnCount ? QString::fromLatin1(Titles[column]) : QString();
}

QString JournalModel::cellText(const AlarmEventRow &row, int column)
{
    switch (column) {
    case Time: return timeText(row.timeMs);
    case Controller: return optionalNumber(row.controllerId);
    case Slot: return optionalNumber(row.slot);
    case Name: return row.slotName;
    case Alarm: return row.alarm;
    case Change: return row.change;
    case Pv: return row.pv;
    case Sv: return row.sv;
    case Comment: return row.comment;
    case User: return row.user;
    case ShelvedUntil: return row.shelvedUntilMs ? timeText(*row.shelvedUntilMs) : QString();
    default: return {};
    }
}

int JournalModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int JournalModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant JournalModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= int(rows_.size()))
        return {};
    return cellText(rows_[std::size_t(index.row())], index.column());
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    return columnTitle(section);
}

bool JournalModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && more_;
}

void JournalModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() || !more_)
        return;
    std::vector<AlarmEventRow> page = readPage();
    if (page.empty())
        return;
    const int first = int(rows_.size());
    beginInsertRows({}, first, first + int(page.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(page.begin()), std::make_move_iterator(page.end()));
    endInsertRows();
}

} // namespace orbalis
