#pragma once

#include <QByteArray>
#include <QString>

namespace orbalis {

// Saves `bytes` as the file `path`, whole or not at all. They go into a new
// file beside it, which takes the name only once every write, the flush to
// the disk and the close have succeeded; a file of that name stays as it was
// until then, and after any failure. A link is followed and its target
// replaced; a name taken by something other than a regular file (a folder,
// a FIFO) is refused. Throws Error with the path and the system's reason,
// "Disk full (<path>: No space left on device)" for example.
void saveWholeFile(const QString &path, const QByteArray &bytes);

} // namespace orbalis
