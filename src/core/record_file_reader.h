#pragma once

#include "record_format.h"
#include "trend_sample.h"

#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace orbalis {

// One controller's record files ("yymmdd ID.Csv" in the program folder) read
// back as trend samples. Only the files named for the controller are opened,
// so another controller's lines are never mixed in. A line that does not
// parse (a partial last line, a foreign edit) is skipped and counted; a file
// that is missing or unreadable, or that another program cuts short while it
// is read, is named in the result; nothing fails. Lines may end with CR LF,
// LF or CR.

struct RecordFileLines {
    std::vector<TrendSample> samples;   // in file order
    int skipped = 0;                    // lines that did not parse
    bool cut = false;                   // stopped at `maxSamples` with lines left
};
// Every line of one file's content, or its first `maxSamples` samples; the
// header is neither a sample nor skipped.
RecordFileLines parseRecordFile(QByteArrayView content, const QDate &day,
                                std::size_t maxSamples = std::size_t(-1));

struct RecordLoad {
    std::vector<TrendSample> samples;   // all days, line breaks marked by the gap rule
    int linesSkipped = 0;
    QStringList filesRead;
    QStringList filesMissing;
    QStringList filesFailed;            // "name: reason"
    // Files that became shorter while read (another program cut them): the
    // lines up to where they then ended are loaded. "name (n of m bytes read)"
    QStringList filesCutShort;
    // When the range held more than the reader's limit of lines: the time of
    // the last line loaded (the lines after it are left out); invalid when
    // everything was loaded.
    QDateTime cutAfter;
};

class RecordFileReader {
public:
    // Lines at most kept in memory by one load: 37 days of one controller at
    // 16 slots and 19200 baud.
    static constexpr std::size_t MaxLoadedSamples = 2'000'000;
    // Files are read in blocks of this size.
    static constexpr qsizetype BlockBytes = 64 * 1024;

    RecordFileReader(QString programDir, int controllerId, std::size_t maxSamples = MaxLoadedSamples);

    QString path(const QDate &day) const;

    // The days from `first` to `last` (either order). `fallbackPeriodMs` is
    // the poll period for a day with fewer than two lines.
    RecordLoad load(QDate first, QDate last, qint64 fallbackPeriodMs) const;

    // For tests: called before each block of a file is read, with the
    // offset the read starts at, so that a test can change the file in
    // between.
    std::function<void(qint64 offset)> beforeBlock;

private:
    QString programDir_;
    int controllerId_;
    std::size_t maxSamples_;
};

} // namespace orbalis
