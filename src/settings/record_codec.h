#pragma once

#include "base/error.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace orbalis {

// One record's texts as found in its bytes.
struct ParsedRecord {
    // One entry per text of the record. nullopt: the entry could not be read
    // (its bytes are not code page 950, or it follows a broken length prefix).
    std::vector<std::optional<QString>> texts;
    // The first thing that went wrong, if anything did.
    std::optional<Error> fault;
};

// Splits the bytes of a record (up to 128; fewer where the file ends inside
// it) into `count` length-prefixed code page 950 texts. Never reads outside
// `bytes`. Texts wholly beyond the end of the bytes read as empty; a length
// prefix that runs past the record gives Error 59, past the end of the bytes
// Error 62, and no text after it is read.
ParsedRecord parseRecord(const QByteArray &bytes, int count);

} // namespace orbalis
