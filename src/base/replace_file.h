#pragma once

#include <QByteArray>
#include <QString>

namespace orbalis {

// Gives the file `path` exactly `bytes`, or leaves it as it was. The bytes go
// to a temporary file beside it, which takes the file's place only once every
// write, the flush to the disk and the close have been seen to succeed; a
// full disk, a missing permission or anything else that fails throws Error
// with the system's reason, and the temporary file is removed. A path that
// names something other than a regular file (a FIFO, a device, a directory)
// is refused before anything is written.
void replaceFile(const QString &path, const QByteArray &bytes);

} // namespace orbalis
