#include "record_file_reader.h"

#include "gap_rule.h"

#include <QDir>
#include <QFile>
#include <QTimeZone>
#include <algorithm>
#include <limits>

namespace orbalis {

namespace {

constexpr int RecordFields = 28;   // time and 27 values
constexpr int PvField = 1;
constexpr int SvField = 2;
constexpr int OutlField = 3;
constexpr int StatusField = 4;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int twoDigits(QByteArrayView v, qsizetype at)
{
    return (v[at] - '0') * 10 + (v[at + 1] - '0');
}

// "hh:mm:ss" as the recorder writes it: seconds of the day, or -1.
int secondsOfDay(QByteArrayView v)
{
    if (v.size() != 8 || v[2] != ':' || v[5] != ':')
        return -1;
    for (qsizetype i : {0, 1, 3, 4, 6, 7})
        if (!isDigit(v[i]))
            return -1;
    const int h = twoDigits(v, 0), m = twoDigits(v, 3), s = twoDigits(v, 6);
    if (h > 23 || m > 59 || s > 59)
        return -1;
    return h * 3600 + m * 60 + s;
}

struct FixedPoint {
    std::int16_t raw;
    int decimals;
};

// "-12.34" as a 16-bit register value and its decimals (0 to 3), as the
// value texts write Scaled and Tenths values.
std::optional<FixedPoint> fixedPoint(QByteArrayView v)
{
    qsizetype i = 0;
    const bool negative = i < v.size() && v[i] == '-';
    if (negative)
        ++i;
    int value = 0;
    int digits = 0;
    int decimals = -1;
    for (; i < v.size(); ++i) {
        const char c = v[i];
        if (c == '.' && decimals < 0 && digits > 0) {
            decimals = 0;
            continue;
        }
        if (!isDigit(c) || digits >= 6)
            return std::nullopt;
        value = value * 10 + (c - '0');
        ++digits;
        if (decimals >= 0)
            ++decimals;
    }
    if (digits == 0 || decimals == 0 || decimals > 3)
        return std::nullopt;
    value = negative ? -value : value;
    if (value < std::numeric_limits<std::int16_t>::min() || value > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    return FixedPoint{std::int16_t(value), std::max(decimals, 0)};
}

std::optional<std::uint16_t> hex16(QByteArrayView v)
{
    if (v.size() != 4)
        return std::nullopt;
    std::uint16_t u = 0;
    for (char c : v) {
        const int digit = isDigit(c) ? c - '0'
            : (c >= 'A' && c <= 'F') ? c - 'A' + 10
            : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                     : -1;
        if (digit < 0)
            return std::nullopt;
        u = std::uint16_t(u << 4 | digit);
    }
    return u;
}

// Milliseconds since the epoch of a time of day. Days without a change of the
// clock's offset take the fast road.
class DayClock {
public:
    explicit DayClock(const QDate &day) : day_(day)
    {
        const QDateTime start(day, QTime(0, 0));
        const QDateTime end(day, QTime(23, 59, 59));
        uniform_ = start.offsetFromUtc() == end.offsetFromUtc();
        midnightMs_ = start.toMSecsSinceEpoch();
    }
    qint64 msOf(int seconds) const
    {
        if (uniform_)
            return midnightMs_ + qint64(seconds) * 1000;
        return QDateTime(day_, QTime(0, 0).addSecs(seconds)).toMSecsSinceEpoch();
    }

private:
    QDate day_;
    bool uniform_ = true;
    qint64 midnightMs_ = 0;
};

std::optional<TrendSample> parseLine(QByteArrayView line, const DayClock &clock)
{
    // The first five fields are read; the others only counted, and none may
    // be empty (a line cut after a comma).
    std::array<QByteArrayView, StatusField + 1> fields;
    int count = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        if (i < line.size() && line[i] != ',')
            continue;
        if (i == start)
            return std::nullopt;
        if (count < int(fields.size()))
            fields[std::size_t(count)] = line.sliced(start, i - start);
        ++count;
        start = i + 1;
    }
    if (count != RecordFields)
        return std::nullopt;
    const int seconds = secondsOfDay(fields[0]);
    const auto pv = fixedPoint(fields[PvField]);
    const auto sv = fixedPoint(fields[SvField]);
    const auto outl = fixedPoint(fields[OutlField]);
    const auto status = hex16(fields[StatusField]);
    if (seconds < 0 || !pv || !sv || !outl || !status || pv->decimals != sv->decimals || outl->decimals != 1)
        return std::nullopt;
    TrendSample s;
    s.timeMs = clock.msOf(seconds);
    s.pv = pv->raw;
    s.sv = sv->raw;
    s.output = outl->raw;
    s.flags = std::uint8_t(alarmFlags(*status) | pv->decimals << TrendSample::DecimalsShift);
    return s;
}

bool isHeader(QByteArrayView line)
{
    return line.startsWith("Time,");
}

} // namespace

std::optional<TrendSample> parseRecordLine(QByteArrayView line, const QDate &day)
{
    return parseLine(line, DayClock(day));
}

RecordFileLines parseRecordFile(QByteArrayView content, const QDate &day, std::size_t maxSamples)
{
    RecordFileLines out;
    const DayClock clock(day);
    out.samples.reserve(std::min(std::size_t(content.size() / 120), maxSamples));
    qsizetype start = 0;
    while (start < content.size()) {
        if (out.samples.size() >= maxSamples) {
            out.cut = true;
            break;
        }
        const qsizetype end = content.indexOf('\n', start);
        if (end < 0) {
            // A last line without its line end is still being written, or was cut.
            ++out.skipped;
            break;
        }
        QByteArrayView line = content.sliced(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        start = end + 1;
        if (isHeader(line))
            continue;
        if (auto s = parseLine(line, clock))
            out.samples.push_back(*s);
        else
            ++out.skipped;
    }
    return out;
}

RecordFileReader::RecordFileReader(QString programDir, int controllerId, std::size_t maxSamples)
    : programDir_(std::move(programDir)), controllerId_(controllerId), maxSamples_(maxSamples)
{
}

QString RecordFileReader::fileName(const QDate &day, int controllerId)
{
    return day.toString(QStringLiteral("yyMMdd")) + QLatin1Char(' ') + QString::number(controllerId)
        + QStringLiteral(".Csv");
}

QString RecordFileReader::path(const QDate &day) const
{
    return QDir(programDir_).filePath(fileName(day, controllerId_));
}

RecordLoad RecordFileReader::load(QDate first, QDate last, qint64 fallbackPeriodMs) const
{
    if (last < first)
        std::swap(first, last);
    RecordLoad out;
    if (!first.isValid() || !last.isValid())
        return out;
    for (QDate day = first; day <= last; day = day.addDays(1)) {
        const QString name = fileName(day, controllerId_);
        QFile file(path(day));
        if (!file.exists()) {
            out.filesMissing << name;
            continue;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            out.filesFailed << name + QStringLiteral(": ") + file.errorString();
            continue;
        }
        // Mapped, not copied: a day at a fast cadence is over 100 MB of text.
        const qint64 size = file.size();
        QByteArray copy;
        QByteArrayView content;
        if (size > 0) {
            if (uchar *mapped = file.map(0, size))
                content = QByteArrayView(reinterpret_cast<const char *>(mapped), size);
            else
                content = copy = file.readAll();
        }
        // A huge file stops at the limit instead of filling the memory first.
        RecordFileLines lines = parseRecordFile(content, day, maxSamples_ - out.samples.size());
        file.close();
        out.filesRead << name;
        out.linesSkipped += lines.skipped;
        const qint64 period = estimateRecordPeriodMs(lines.samples, fallbackPeriodMs);
        markRecordBreaks(lines.samples, period);
        if (!lines.samples.empty() && !out.samples.empty())
            lines.samples.front().setBreaksBefore(
                breaksRecordLine(out.samples.back().timeMs, lines.samples.front().timeMs, period));
        out.samples.insert(out.samples.end(), lines.samples.begin(), lines.samples.end());
        if (out.samples.size() >= maxSamples_ && (lines.cut || day < last)) {
            out.cutAfter = out.samples.empty() ? QDateTime(day, QTime(0, 0))
                                               : QDateTime::fromMSecsSinceEpoch(out.samples.back().timeMs);
            break;
        }
    }
    return out;
}

} // namespace orbalis
