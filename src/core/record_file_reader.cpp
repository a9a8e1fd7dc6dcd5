#include "record_file_reader.h"

#include "gap_rule.h"
#include "record_format.h"

#include <QDir>
#include <QFile>
#include <QTimeZone>
#include <algorithm>
#include <limits>

namespace orbalis {

RecordFileLines parseRecordFile(QByteArrayView content, const QDate &day, std::size_t maxSamples)
{
    RecordFileLines out;
    const RecordDay clock(day);
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
        if (isRecordHeader(line))
            continue;
        if (auto s = parseRecordLine(line, clock))
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

QString RecordFileReader::path(const QDate &day) const
{
    return QDir(programDir_).filePath(recordFileName(day, controllerId_));
}

RecordLoad RecordFileReader::load(QDate first, QDate last, qint64 fallbackPeriodMs) const
{
    if (last < first)
        std::swap(first, last);
    RecordLoad out;
    if (!first.isValid() || !last.isValid())
        return out;
    for (QDate day = first; day <= last; day = day.addDays(1)) {
        const QString name = recordFileName(day, controllerId_);
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
