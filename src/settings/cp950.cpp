#include "cp950.h"

#include "base/error.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace orbalis {

namespace {

// Stateless: each text is converted on its own, so an incomplete lead byte at
// the end of one entry is an error, not something carried into the next.
constexpr auto Cp950Flags = QStringConverter::Flag::Stateless;
constexpr const char *Cp950Name = "windows-950";

} // namespace

QByteArray encodeCp950(const QString &text)
{
    QStringEncoder encoder(Cp950Name, Cp950Flags);
    if (!encoder.isValid())
        throw Error(InvalidArgument, QStringLiteral("code page 950 is not available"));
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        throw Error(InvalidArgument,
                    QStringLiteral("\"%1\" holds a character code page 950 cannot hold").arg(text));
    return bytes;
}

QString decodeCp950(const QByteArray &bytes)
{
    QStringDecoder decoder(Cp950Name, Cp950Flags);
    if (!decoder.isValid())
        throw Error(InvalidArgument, QStringLiteral("code page 950 is not available"));
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        throw Error(InvalidArgument,
                    QStringLiteral("bytes %1 are not code page 950")
                        .arg(QString::fromLatin1(bytes.toHex(' '))));
    return text;
}

} // namespace orbalis
