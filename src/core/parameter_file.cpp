#include "parameter_file.h"

#include "base/error.h"
#include "base/leading_number.h"
#include "base/regular_file.h"
#include "base/whole_file_save.h"
#include "settings/record_codec.h"
#include "settings/settings_store.h"

namespace orbalis {

namespace {

static_assert(ParameterRecordSize == RecordSize, "parameter records are settings-style records");

QString mnemonicOf(int address)
{
    const RegisterInfo *r = findRegister(address);
    return r ? QString::fromLatin1(r->mnemonic.data(), qsizetype(r->mnemonic.size())) : QString();
}

// A text as a message quotes it: characters that do not print stand as
// <U+0080>, so that a damaged record is told apart from a blank one.
QString quoted(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c.isPrint())
            out += c;
        else
            out += QStringLiteral("<U+") + QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0')
                + QLatin1Char('>');
    }
    return out + QLatin1Char('"');
}

QString itemList(const Enumeration &list)
{
    QStringList items;
    for (std::string_view item : list.items)
        items << QLatin1Char('"') + QString::fromLatin1(item.data(), qsizetype(item.size())) + QLatin1Char('"');
    return items.join(QStringLiteral(", "));
}

} // namespace

QString recordName(int address)
{
    return QStringLiteral("record %1 (%2)").arg(address + 1).arg(mnemonicOf(address));
}

int matchingItem(const Enumeration &list, const QString &text)
{
    const QString wanted = text.trimmed();
    for (size_t i = 0; i < list.items.size(); ++i) {
        const std::string_view item = list.items[i];
        if (QString::fromLatin1(item.data(), qsizetype(item.size())).trimmed() == wanted)
            return int(i);
    }
    return -1;
}

void checkParameterText(int address, const QString &text)
{
    const RegisterInfo &r = *findRegister(address);
    if (r.listOnly && matchingItem(*r.enumeration, text) < 0)
        throw Error(InvalidArgument, recordName(address) + QStringLiteral(": %1 is none of the items %2")
                                                            .arg(quoted(text), itemList(*r.enumeration)));
    // Read by its leading number, "abc" would be written as 0 and "12,5" as
    // 12: a text box's record holds a number and nothing else, or what the
    // box shows before its first read ("00:00" in "A1DT"), which a window
    // saved at once puts in its file.
    const QLatin1String initialText(r.initialText.data(), qsizetype(r.initialText.size()));
    if (r.control == ControlKind::TextBox && !isPlainNumber(text) && text != initialText)
        throw Error(InvalidArgument,
                    recordName(address)
                        + QStringLiteral(": %1 is not a number (digits with an optional sign and at most "
                                         "one \".\" point)")
                              .arg(quoted(text)));
}

QByteArray buildParameterFile(const QStringList &texts)
{
    if (texts.size() != HoldingRegisterCount)
        throw Error(SubscriptOutOfRange,
                    QStringLiteral("%1 texts for %2 records").arg(texts.size()).arg(HoldingRegisterCount));
    QByteArray file;
    file.reserve(ParameterFileSize);
    for (int a = 0; a < HoldingRegisterCount; ++a) {
        try {
            file.append(buildRecord({texts[a].trimmed()}));
        } catch (const Error &e) {
            const QString cause = e.number() == BadRecordLength
                ? QStringLiteral("the text \"%1\" needs more than the %2 bytes a record holds")
                      .arg(texts[a].trimmed())
                      .arg(ParameterRecordSize - 2)
                : QStringLiteral("the text \"%1\" holds a character code page 950 cannot hold")
                      .arg(texts[a].trimmed());
            throw Error(e.number(), recordName(a) + QStringLiteral(": ") + cause);
        }
    }
    // What the console saves, it loads again.
    for (int a = 0; a < HoldingRegisterCount; ++a)
        checkParameterText(a, texts[a].trimmed());
    return file;
}

QStringList parseParameterFile(const QByteArray &bytes)
{
    if (bytes.size() < ParameterFileSize)
        throw Error(InputPastEndOfFile,
                    QStringLiteral("the file holds %1 bytes; a parameter file holds %2 records "
                                   "of %3 bytes (%4 bytes)")
                        .arg(bytes.size())
                        .arg(HoldingRegisterCount)
                        .arg(ParameterRecordSize)
                        .arg(ParameterFileSize));
    QStringList texts;
    for (int a = 0; a < HoldingRegisterCount; ++a) {
        const ParsedRecord parsed =
            parseRecord(bytes.mid(qsizetype(a) * ParameterRecordSize, ParameterRecordSize), 1);
        if (parsed.fault) {
            const QString cause = parsed.fault->number() == BadRecordLength
                ? QStringLiteral("its length prefix runs past the end of the record")
                : QStringLiteral("its text is not code page 950");
            throw Error(parsed.fault->number(), recordName(a) + QStringLiteral(": ") + cause);
        }
        const QString text = parsed.texts.front().value_or(QString()).trimmed();
        checkParameterText(a, text);
        texts << text;
    }
    return texts;
}

QByteArray readParameterFile(const QString &path)
{
    try {
        // Records past the 109th are never loaded, so they are never read either.
        return readRegularFile(path, ParameterFileSize);
    } catch (const Error &e) {
        throw withContext(e, QStringLiteral("cannot read"));
    }
}

void writeParameterFile(const QString &path, const QByteArray &bytes)
{
    try {
        saveWholeFile(path, bytes);
    } catch (const Error &e) {
        throw withContext(e, QStringLiteral("cannot write"));
    }
}

} // namespace orbalis
