#include "record_file_reader.h"

#include "gap_rule.h"

#include "base/regular_file.h"

#include <QDir>
#include <QTimeZone>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

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

// The record lines of a file that comes in blocks. A line ends with CR LF as
// the recorder writes it, or with LF or CR alone as other programs may save
// it; a CR LF split between two blocks is one line end.
class LineCollector {
public:
    LineCollector(const QDate &day, std::size_t maxSamples, RecordFileLines &out)
        : clock_(day), maxSamples_(maxSamples), out_(out)
    {
    }

    // Takes the lines of `data` that end in it and returns the bytes taken;
    // the rest begins a line that goes on in the next block.
    qsizetype take(QByteArrayView data)
    {
        nextCr_ = nextLf_ = -1;
        qsizetype start = 0;
        if (afterCr_ && !data.isEmpty() && data[0] == '\n')
            start = 1;
        afterCr_ = false;
        while (start < data.size()) {
            if (out_.samples.size() >= maxSamples_) {
                out_.cut = true;
                return data.size();
            }
            const qsizetype end = lineEnd(data, start);
            if (end == data.size())
                return skippingLongLine_ ? data.size() : start;
            if (skippingLongLine_)
                skippingLongLine_ = false;
            else
                add(data.sliced(start, end - start));
            start = end + 1;
            if (data[end] == '\r') {
                if (start == data.size())
                    afterCr_ = true;
                else if (data[start] == '\n')
                    ++start;
            }
        }
        return start;
    }

    // A line that does not end within a whole block is far longer than any
    // record line: it is skipped, and its bytes are passed over to its end.
    void skipLongLine()
    {
        ++out_.skipped;
        skippingLongLine_ = true;
    }

    // The end of the file: a last line without its line end is still being
    // written, or was cut.
    void finish(QByteArrayView rest)
    {
        if (rest.isEmpty() || skippingLongLine_)
            return;
        if (out_.samples.size() >= maxSamples_)
            out_.cut = true;
        else
            ++out_.skipped;
    }

private:
    // Where the line from `start` ends: its CR or LF, or data.size(). The
    // next CR and the next LF are looked for apart, each with memchr and
    // only once it is passed, so a file of CRs alone is not scanned again
    // for an LF at every line.
    qsizetype lineEnd(QByteArrayView data, qsizetype start)
    {
        auto next = [&](qsizetype &cached, char c) {
            if (cached < start) {
                const void *hit = std::memchr(data.data() + start, c, std::size_t(data.size() - start));
                cached = hit ? static_cast<const char *>(hit) - data.data() : data.size();
            }
            return cached;
        };
        return std::min(next(nextCr_, '\r'), next(nextLf_, '\n'));
    }

    void add(QByteArrayView line)
    {
        if (isHeader(line))
            return;
        if (auto s = parseLine(line, clock_))
            out_.samples.push_back(*s);
        else
            ++out_.skipped;
    }

    const DayClock clock_;
    const std::size_t maxSamples_;
    RecordFileLines &out_;
    bool afterCr_ = false;            // the last block ended with a CR
    bool skippingLongLine_ = false;
    qsizetype nextCr_ = -1, nextLf_ = -1;   // in the data being taken
};

struct FileRead {
    RecordFileLines lines;
    qint64 size = 0;        // when opened
    qint64 read = 0;
    bool shrank = false;    // it ended before `size`
};

// Reads one file in blocks, not mapped: another program may cut it short
// while it is read (the recorder itself cuts a damaged last line before it
// appends), and touching a mapped page that is gone ends the program
// (SIGBUS). What the file held when opened is read; a file that became
// shorter ends the read where it now ends.
FileRead readRecordFile(const RegularFile &file, const QDate &day, std::size_t maxSamples,
                        const std::function<void(qint64)> &beforeBlock)
{
    FileRead r;
    r.size = file.size;
    r.lines.samples.reserve(std::min(std::size_t(r.size / 120), maxSamples));
    LineCollector lines(day, maxSamples, r.lines);
    QByteArray buffer(RecordFileReader::BlockBytes, Qt::Uninitialized);
    qsizetype kept = 0;   // the start of a line that goes on in the next block
    while (r.read < r.size && !r.lines.cut) {
        if (beforeBlock)
            beforeBlock(r.read);
        const auto room = std::size_t(std::min<qint64>(buffer.size() - kept, r.size - r.read));
        ssize_t n;
        do {
            n = ::read(file.fd.get(), buffer.data() + kept, room);
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            throw systemFileError(errno);
        if (n == 0) {
            r.shrank = true;
            break;
        }
        r.read += n;
        const qsizetype have = kept + n;
        const qsizetype taken = lines.take(QByteArrayView(buffer.constData(), have));
        kept = have - taken;
        if (kept == buffer.size()) {
            lines.skipLongLine();
            kept = 0;
        } else if (kept > 0 && taken > 0) {
            std::memmove(buffer.data(), buffer.constData() + taken, std::size_t(kept));
        }
    }
    if (!r.lines.cut)
        lines.finish(QByteArrayView(buffer.constData(), kept));
    return r;
}

} // namespace

std::optional<TrendSample> parseRecordLine(QByteArrayView line, const QDate &day)
{
    return parseLine(line, DayClock(day));
}

RecordFileLines parseRecordFile(QByteArrayView content, const QDate &day, std::size_t maxSamples)
{
    RecordFileLines out;
    out.samples.reserve(std::min(std::size_t(content.size() / 120), maxSamples));
    LineCollector lines(day, maxSamples, out);
    const qsizetype taken = lines.take(content);
    if (!out.cut)
        lines.finish(content.sliced(taken));
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
        FileRead read;
        try {
            // Only a regular file, and never an open that waits (a FIFO).
            const RegularFile file = openRegularFile(path(day), O_RDONLY);
            // A huge file stops at the limit instead of filling the memory first.
            read = readRecordFile(file, day, maxSamples_ - out.samples.size(), beforeBlock);
        } catch (const Error &e) {
            if (e.number() == FileNotFound)
                out.filesMissing << name;
            else
                out.filesFailed << name + QStringLiteral(": ") + e.detail();
            continue;
        }
        if (read.shrank)
            out.filesCutShort << QStringLiteral("%1 (%2 of %3 bytes read)").arg(name).arg(read.read).arg(read.size);
        RecordFileLines &lines = read.lines;
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
