#include "counters_model.h"

#include "core/health_rules.h"
#include "panel_health.h"
#include "core/traffic_text.h"

#include "state/console.h"

#include <QDateTime>

namespace orbalis {

namespace {

const char *const Headers[CountersModel::ColumnCount] = {
    "Slot", "ID", "Name", "Health", "Sent", "Good", "No answer", "CRC error", "Wrong reply",
    "Exception", "Not judged", "Answered", "Reply last", "Reply mean", "Reply worst", "Last good reply",
};

QString count(std::uint64_t n)
{
    return groupedNumber(n);
}

} // namespace

CountersModel::CountersModel(const Console &console, const LineCounters &counters, QObject *parent)
    : QAbstractTableModel(parent), console_(console), counters_(counters)
{
    takeRows(boundRows());
}

void CountersModel::takeRows(std::vector<Row> rows)
{
    rows_ = std::move(rows);
    slots_.clear();
    seen_.clear();
    shown_.clear();
    for (const Row &r : rows_) {
        slots_.push_back(r.slot);
        seen_.push_back(seenOf(r));
        shown_.push_back(textsOf(r));
    }
    seenChanges_ = counters_.changes();
}

CountersModel::Texts CountersModel::textsOf(const Row &row) const
{
    Texts texts;
    for (int c = 0; c < ColumnCount; ++c)
        texts[std::size_t(c)] = text(row, c).toString();
    return texts;
}

CountersModel::Seen CountersModel::seenOf(const Row &row) const
{
    const ControllerCounters &c = counters_.of(row.id);
    return {c.sent, c.judged(), c.notJudged};
}

std::vector<CountersModel::Row> CountersModel::boundRows() const
{
    std::vector<Row> rows;
    for (int k = 0; k < SlotCount; ++k) {
        const std::uint8_t id = console_.slots.SlotId[std::size_t(k)];
        if (id != 0)
            rows.push_back({k, id, console_.settings.panel.NameText[std::size_t(k)].trimmed()});
    }
    return rows;
}

int CountersModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int CountersModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CountersModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(Headers[section]);
    return {};
}

QVariant CountersModel::text(const Row &row, int column) const
{
    const ControllerCounters &c = counters_.of(row.id);
    switch (column) {
    case SlotColumn: return QString::number(row.slot + 1);
    case IdColumn: return QString::number(row.id);
    case NameColumn: return row.name;
    case HealthColumn: {
        switch (healthMark(c)) {
        case HealthMark::None: return QStringLiteral("not polled");
        case HealthMark::Green: return QStringLiteral("green");
        case HealthMark::Amber: return QStringLiteral("amber");
        case HealthMark::Red: return QStringLiteral("red");
        }
        return {};
    }
    case SentColumn: return count(c.sent);
    case GoodColumn: return count(c.good);
    case NoAnswerColumn: return count(c.noAnswer);
    case CrcErrorColumn: return count(c.crcErrors);
    case WrongReplyColumn: return count(c.wrongReplies);
    case ExceptionColumn: return count(c.exceptionReplies);
    case NotJudgedColumn: return count(c.notJudged);
    case AnsweredColumn:
        if (c.judged() == 0)
            return QString();
        return QString::number(100.0 * double(c.good) / double(c.judged()), 'f', 1) + QStringLiteral(" %");
    case ReplyLastColumn: return c.timedReplies ? millisecondsText(c.replyLast) : QString();
    case ReplyMeanColumn: return c.replyMean() ? millisecondsText(*c.replyMean()) : QString();
    case ReplyWorstColumn: return c.timedReplies ? millisecondsText(c.replyWorst) : QString();
    case LastGoodColumn: {
        if (!c.lastGoodPoll)
            return QString();
        const auto ago = std::chrono::duration_cast<std::chrono::milliseconds>(counters_.now() - *c.lastGoodPoll);
        return trafficTimeText(QDateTime::currentMSecsSinceEpoch() - ago.count());
    }
    }
    return {};
}

QVariant CountersModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row &row = rows_[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return text(row, index.column());
    case Qt::DecorationRole:
        if (index.column() == HealthColumn) {
            const QColor colour = PanelHealth::markColour(healthMark(counters_.of(row.id)));
            if (colour.isValid())
                return colour;
        }
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() >= SentColumn && index.column() <= ReplyWorstColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        return healthFigures(row.id, counters_.of(row.id), counters_.now());
    default:
        return {};
    }
}

void CountersModel::refresh()
{
    std::vector<Row> rows = boundRows();
    if (rows != rows_) {
        beginResetModel();
        takeRows(std::move(rows));
        endResetModel();
        return;
    }
    if (counters_.changes() == seenChanges_)
        return;
    seenChanges_ = counters_.changes();
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const Seen now = seenOf(rows_[r]);
        if (now == seen_[r])
            continue;
        seen_[r] = now;
        Texts texts = textsOf(rows_[r]);
        Texts &shown = shown_[r];
        // One signal per run of changed cells: the zeros of a healthy line
        // and the row's names stay as they are drawn.
        for (int c = 0; c < ColumnCount;) {
            if (texts[std::size_t(c)] == shown[std::size_t(c)]) {
                ++c;
                continue;
            }
            const int first = c;
            while (c < ColumnCount && texts[std::size_t(c)] != shown[std::size_t(c)])
                ++c;
            Q_EMIT dataChanged(index(int(r), first), index(int(r), c - 1));
        }
        shown = std::move(texts);
    }
}

} // namespace orbalis
