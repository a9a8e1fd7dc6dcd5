#pragma once

#include <QByteArray>
#include <QString>

namespace orbalis {

// Code page 950 (Traditional Chinese, Big5) through Qt's "windows-950" converter.
// Throws Error 5 (with the offending text in the detail) when the text holds a
// character the code page cannot hold, or the bytes are not valid code page 950.
QByteArray encodeCp950(const QString &text);
QString decodeCp950(const QByteArray &bytes);

} // namespace orbalis
