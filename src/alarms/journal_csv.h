#pragma once

#include "journal_filter.h"

#include <QString>
#include <QStringList>

namespace orbalis {

// One field of a CSV line: quoted when it holds a comma, a quote or a line
// break, quotes doubled.
QString csvField(const QString &text);
// The header line: the journal view's column titles.
QString journalCsvHeader();

// Writes every row the filter lets through (not only those the view has
// read), newest first, as the view shows them: UTF-8 with a byte-order mark
// (names may be Chinese), lines ending in CR LF. Saved whole or not at all
// (see saveWholeFile): a save that fails leaves a file of that name as it
// was, and a name that is no regular file (a FIFO, a device, a folder) is
// refused. The rows are gathered in memory first: about 90 bytes each.
// Throws Error with the reason; returns the number of rows written.
qint64 exportJournalCsv(const QString &connection, const JournalFilter &filter, const QString &path);

} // namespace orbalis
