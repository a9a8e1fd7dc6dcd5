#pragma once

#include "model/register_map.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace orbalis {

// A parameter file "*.par": record n (128 bytes at (n - 1) * 128) holds the
// text of address n - 1 as a 16-bit little-endian length, the code page 950
// bytes and zero filler. 109 records; 13952 bytes as written.
constexpr int ParameterRecordSize = 128;
constexpr int ParameterFileSize = HoldingRegisterCount * ParameterRecordSize;

// The item of a list whose text equals `text` when both are trimmed; -1 when
// none does. A file stores "AT2 " as AT2, and must load back.
int matchingItem(const Enumeration &list, const QString &text);

// The check every record's text passes, when it is saved and when it is
// loaded: a list-only combo box's text equals one of its items, and a text
// box's text is a number as the window shows one (an optional sign, digits, at
// most one "." point) or the text the box shows before the first read.
// Anything else is refused with Error 5 naming the record and the text. Texts
// of editable combo boxes pass as they are.
void checkParameterText(int address, const QString &text);

// The file's bytes for the 109 texts (address order), each trimmed. Every text
// is checked before anything is built: one that code page 950 cannot hold
// (Error 5) or that needs more than 126 bytes (Error 59) is refused with a
// detail naming the record and the parameter, and then every text must pass
// checkParameterText, so that every file saved loads again.
QByteArray buildParameterFile(const QStringList &texts);

// The 109 trimmed texts of a file's bytes, every record checked before any
// text is returned: a file shorter than 13952 bytes (Error 62), a length
// prefix past its record (Error 59), bytes that are not code page 950
// (Error 5), or a text that fails checkParameterText (Error 5) are refused
// with a detail naming the record and the parameter. Bytes after the 109th
// record are ignored.
QStringList parseParameterFile(const QByteArray &bytes);

// The file's first 13952 bytes (all of a shorter file). Only a regular file is
// opened, and never in a way that waits: a FIFO, a device or a directory is
// refused (Error 75, "cannot read: it is a FIFO, not a regular file"); other
// failures give Error 53, 70, 75 ... with the system's reason.
QByteArray readParameterFile(const QString &path);
// Replaces the file whole or not at all (saveWholeFile): on any failure (disk
// full, no permission, not a regular file ...) the target keeps its previous
// bytes. Throws Error with "cannot write: " and the system's reason.
void writeParameterFile(const QString &path, const QByteArray &bytes);

// "record 16 (RUN)": how the messages name a record.
QString recordName(int address);

} // namespace orbalis
