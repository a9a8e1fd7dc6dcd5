#pragma once

#include <QByteArray>
#include <QString>

namespace orbalis {

// Appends one line to a record file, creating it when absent. The file gets
// `header` first when it is empty. A line goes in whole or not at all: when
// the disk fills up in the middle of it, the file is cut back to where the
// line began. A file whose last line lacks its line end (an earlier write cut
// short) is first cut back to its last complete line. Only regular files are
// opened, and never in a way that waits (a FIFO or a device named like the
// file is refused). Throws Error with the cause of any failure.
void appendRecordLine(const QString &path, const QByteArray &header, const QByteArray &line);

} // namespace orbalis
