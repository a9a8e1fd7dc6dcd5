#pragma once

#include <QByteArray>
#include <QString>

namespace orbalis {

// Saves `bytes` as the file `path`, whole or not at all. They go into a new
// file beside it, which takes the name only once every write, the sync to the
// disk and the close have succeeded; a file of that name stays as it was
// until then, and after any failure, and no new file is left behind. The
// saved file keeps the permissions of the one it replaces. A link is followed
// to its end and the file there replaced, the link kept. A name taken by
// something other than a regular file (a folder, a FIFO, a device, also at
// the end of a link) is refused before anything is written, and looked at
// again just before the new file takes it. Throws Error with the system's
// reason ("No space left on device"; "it is a FIFO, not a regular file"):
// the caller names the file.
void saveWholeFile(const QString &path, const QByteArray &bytes);

} // namespace orbalis
