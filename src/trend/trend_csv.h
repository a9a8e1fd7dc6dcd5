#pragma once

#include "core/trend_sample.h"

#include <QByteArray>
#include <QString>
#include <span>

namespace orbalis {

// The samples of a trend as comma-separated text: a header, then per sample
// its date, time to the millisecond, PV and SV with their decimals, the
// output in tenths of a percent and the two alarm lamps (1 lit, 0 dark);
// lines end with CR LF like the record files. A break of the line shows as
// an empty line before the sample that follows it.
QString trendCsvHeader();
QByteArray trendCsv(std::span<const TrendSample> samples);

// Writes the file whole or not at all; throws Error "<path>: <reason>".
void saveTrendCsv(const QString &path, std::span<const TrendSample> samples);

} // namespace orbalis
