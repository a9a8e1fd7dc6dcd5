#include "trend_csv.h"

#include "base/error.h"
#include "base/whole_file_save.h"
#include "model/display.h"

#include <QDateTime>

namespace orbalis {

namespace {

constexpr std::int32_t NoDecimalsCode = 47;

} // namespace

QString trendCsvHeader()
{
    return QStringLiteral("Date,Time,PV,SV,Outl,Alarm 1,Alarm 2");
}

QByteArray trendCsv(std::span<const TrendSample> samples)
{
    QByteArray out;
    out.reserve(qsizetype(samples.size()) * 48 + 64);
    out += trendCsvHeader().toLatin1() + "\r\n";
    bool first = true;
    for (const TrendSample &s : samples) {
        if (s.breaksBefore() && !first)
            out += "\r\n";
        first = false;
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(s.timeMs);
        const std::int32_t dpCode = NoDecimalsCode + s.decimals();
        const QString line = at.toString(QStringLiteral("yyyy-MM-dd,HH:mm:ss.zzz")) + u','
            + scaledText(s.pv, dpCode) + u',' + scaledText(s.sv, dpCode) + u','
            + tenthsText(s.output) + u',' + QLatin1Char(s.alarm1() ? '1' : '0') + u','
            + QLatin1Char(s.alarm2() ? '1' : '0');
        out += line.toLatin1() + "\r\n";
    }
    return out;
}

void saveTrendCsv(const QString &path, std::span<const TrendSample> samples)
{
    try {
        saveWholeFile(path, trendCsv(samples));
    } catch (const Error &e) {
        throw withContext(e, path);
    }
}

} // namespace orbalis
