#include "record_file_reader.h"

#include "gap_rule.h"
#include "record_format.h"

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
        if (isRecordHeader(line))
            return;
        if (auto s = parseRecordLine(line, clock_))
            out_.samples.push_back(*s);
        else
            ++out_.skipped;
    }

    const RecordDay clock_;
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
