#include "record_format.h"

#include "model/live_value_table.h"
#include "model/parameter_sink.h"

#include <QDateTime>
#include <array>
#include <limits>

namespace orbalis {

namespace {

// The time, then the live values in address order as recordLine writes
// them: PV, SV, Outl and the status word come first.
constexpr int PvField = 1;
constexpr int SvField = 2;
constexpr int OutlField = 3;
constexpr int StatusField = 4;
constexpr int ReadFields = StatusField + 1;

int recordFields()
{
    static const int fields = 1 + int(liveValueAddresses().size());
    return fields;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

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

std::optional<TrendSample> parseLine(QByteArrayView line, const RecordDay &day)
{
    // The first five fields are read; the others only counted, and none may
    // be empty (a line cut after a comma).
    std::array<QByteArrayView, ReadFields> fields;
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
    if (count != recordFields())
        return std::nullopt;
    const int seconds = secondsOfDay(fields[0]);
    const auto pv = fixedPoint(fields[PvField]);
    const auto sv = fixedPoint(fields[SvField]);
    const auto outl = fixedPoint(fields[OutlField]);
    const auto status = hex16(fields[StatusField]);
    if (seconds < 0 || !pv || !sv || !outl || !status || pv->decimals != sv->decimals || outl->decimals != 1)
        return std::nullopt;
    TrendSample s;
    s.timeMs = day.msOf(seconds);
    s.pv = pv->raw;
    s.sv = sv->raw;
    s.output = outl->raw;
    s.flags = std::uint8_t(alarmFlags(*status) | pv->decimals << TrendSample::DecimalsShift);
    return s;
}

} // namespace

QString recordFileName(const QDate &day, int controllerId)
{
    return day.toString(QStringLiteral("yyMMdd")) + QLatin1Char(' ') + QString::number(controllerId)
        + QStringLiteral(".Csv");
}

QString recordHeader()
{
    return QStringLiteral("Time,PvPvof,SvSvof,Outl,WkErNo,Ramp_T,Alm1_T,Alm2_T,Sv0,Pv0,Pv1,Pv2,"
                          "Et0,Et1,Et2,Px,Ix,Dx,Mrx,Arx,Pout,Iout,Dout,Pband,ArW,Level,A/D 0,A/D 1");
}

QString recordLine(const QTime &time, const ParameterSource &texts)
{
    QString line = time.toString(QStringLiteral("hh:mm:ss"));
    for (int address : liveValueAddresses())
        line += QLatin1Char(',') + texts.text(address);
    return line;
}

bool isRecordHeader(QByteArrayView line)
{
    return line.startsWith("Time,");
}

RecordDay::RecordDay(const QDate &day) : day_(day)
{
    const QDateTime start(day, QTime(0, 0));
    const QDateTime end(day, QTime(23, 59, 59));
    uniform_ = start.offsetFromUtc() == end.offsetFromUtc();
    midnightMs_ = start.toMSecsSinceEpoch();
}

qint64 RecordDay::msOf(int seconds) const
{
    if (uniform_)
        return midnightMs_ + qint64(seconds) * 1000;
    return QDateTime(day_, QTime(0, 0).addSecs(seconds)).toMSecsSinceEpoch();
}

std::optional<TrendSample> parseRecordLine(QByteArrayView line, const RecordDay &day)
{
    return parseLine(line, day);
}

std::optional<TrendSample> parseRecordLine(QByteArrayView line, const QDate &day)
{
    return parseLine(line, RecordDay(day));
}

} // namespace orbalis
