// Damaged parameter files: files the console saves, mutated by a seeded
// random source, go through the whole-file check and, where it accepts them,
// into the window's controls and the write-all's encoding. Every accepted
// file must write exactly what its records state, as this test reads them
// itself; every refused one must be refused for a record that really is bad.

#include "parameter/parameter_controls.h"
#include "core/parameter_file.h"
#include "core/write_cycle.h"

#include "base/error.h"
#include "model/display.h"
#include "model/parameter_value.h"
#include "model/register_addresses.h"
#include "model/register_map.h"
#include "support/qt_app.h"
#include "support/replies.h"

#include <QStringDecoder>
#include <QWidget>
#include <gtest/gtest.h>

#include <array>
#include <iostream>
#include <memory>
#include <optional>
#include <random>

using namespace orbalis;

namespace {

constexpr int Mutants = 1000;
constexpr int RecordBytes = 128;

QString latin1(std::string_view s)
{
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

// The window's parameter controls, on pages nobody shows.
struct Window {
    Window()
    {
        for (QWidget *&page : pages)
            page = new QWidget(&form);
        controls = std::make_unique<ParameterControls>(&form, pages);
    }
    QWidget form;
    std::array<QWidget *, 6> pages{};
    std::unique_ptr<ParameterControls> controls;
};

// Files as the console saves them: the controls after a read-all of random
// registers (the decimal-point code among them), or before any read with an
// item picked in every list.
QByteArray savedFile(Window &w, std::mt19937 &random, bool fresh)
{
    w.controls->resetToInitialTexts();
    if (fresh) {
        for (const RegisterInfo &r : holdingRegisters())
            if (r.listOnly)
                w.controls->selectItem(r.address, int(random() % r.enumeration->items.size()));
    } else {
        std::array<std::uint16_t, HoldingRegisterCount> registers{};
        for (std::uint16_t &v : registers)
            v = std::uint16_t(random());
        // Mostly items of the lists, as a controller holds them.
        for (const RegisterInfo &r : holdingRegisters())
            if (r.enumeration && random() % 8 != 0)
                registers[size_t(r.address)] =
                    std::uint16_t(r.enumeration->firstCode + int(random() % r.enumeration->items.size()));
        registers[reg::DP] = std::uint16_t(47 + random() % 4);
        std::int32_t dpCode = 0;
        DisplayTargets targets;
        targets.parameterWindow = w.controls.get();
        Show_All_Parameters(test::readReply(1, 3, registers), dpCode, targets);
    }
    return buildParameterFile(w.controls->parameterTexts());
}

// ---- The test's own reading of a record, by the rules of the file. ----

bool isBlank(QChar c)
{
    return c.isSpace();
}

QString trimmedText(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isBlank(text[first]))
        ++first;
    while (last > first && isBlank(text[last - 1]))
        --last;
    return text.mid(first, last - first);
}

// The record's text; nullopt where the record is damaged.
std::optional<QString> recordText(const QByteArray &file, int address)
{
    const QByteArray record = file.mid(qsizetype(address) * RecordBytes, RecordBytes);
    const int length = quint8(record[0]) | quint8(record[1]) << 8;
    if (length > RecordBytes - 2)
        return std::nullopt;
    QStringDecoder big5("windows-950", QStringConverter::Flag::Stateless);
    const QString text = big5.decode(record.mid(2, length));
    if (big5.hasError())
        return std::nullopt;
    return trimmedText(text);
}

// The register value of a number text at `decimals` places, exactly, the half
// to the even neighbour; nullopt when the text is no number, -1 when the
// number is out of a register's reach.
std::optional<long long> numberValue(const QString &text, int decimals)
{
    const QByteArray ascii = text.toLatin1();
    if (text.size() == 0 || ascii != text.toUtf8())
        return std::nullopt;
    qsizetype i = 0;
    bool negative = false;
    if (ascii[0] == '+' || ascii[0] == '-')
        negative = ascii[i++] == '-';
    QByteArray whole, fraction;
    bool point = false;
    for (; i < ascii.size(); ++i) {
        const char c = ascii[i];
        if (c == '.' && !point)
            point = true;
        else if (c >= '0' && c <= '9')
            (point ? fraction : whole) += c;
        else
            return std::nullopt;
    }
    if (whole.isEmpty() && fraction.isEmpty())
        return std::nullopt;
    while (fraction.size() <= decimals)
        fraction += '0';
    QByteArray scaled = whole + fraction.left(decimals);
    const QByteArray rest = fraction.mid(decimals);
    while (scaled.size() > 1 && scaled[0] == '0')
        scaled.remove(0, 1);
    if (scaled.size() > 9)
        return -1;
    long long magnitude = scaled.isEmpty() ? 0 : scaled.toLongLong();
    const bool moreThanHalf = rest[0] > '5' || (rest[0] == '5' && rest.mid(1).count('0') != rest.size() - 1);
    if (moreThanHalf || (rest[0] == '5' && !moreThanHalf && magnitude % 2 == 1))
        ++magnitude;
    const long long value = negative ? -magnitude : magnitude;
    if (value < -65536 || value > 65535)
        return -1;
    return value < 0 ? value + 65536 : value;
}

int decimalsOf(const RegisterInfo &r, int dpCode)
{
    if (r.kind == ValueKind::Tenths)
        return 1;
    if (r.kind == ValueKind::Scaled && dpCode >= 48 && dpCode <= 50)
        return dpCode - 47;
    return 0;
}

// What the write-all must do for a record: the value to send, or nothing.
struct Expected {
    bool recordOk = true;
    std::optional<int> value;
};

Expected expectedWrite(const RegisterInfo &r, const QString &text, int dpCode)
{
    if (r.enumeration) {
        for (size_t i = 0; i < r.enumeration->items.size(); ++i) {
            const QString item = latin1(r.enumeration->items[i]);
            if (r.listOnly ? trimmedText(item) == text : item == text)
                return {true, r.enumeration->firstCode + int(i)};
        }
        return {!r.listOnly, std::nullopt};
    }
    // What the box shows before a read: "00:00" stands for 0.
    if (text == latin1(r.initialText) && text == QLatin1String("00:00"))
        return {true, 0};
    const std::optional<long long> v = numberValue(text, decimalsOf(r, dpCode));
    if (!v)
        return {false, std::nullopt};
    return {true, *v < 0 ? std::nullopt : std::optional<int>(int(*v))};
}

std::string shown(std::optional<int> value)
{
    return value.has_value() ? std::to_string(value.value_or(0)) : std::string("nothing");
}

// ---- Mutations ----

class Mutator {
public:
    explicit Mutator(std::uint32_t seed) : random_(seed) {}

    QByteArray mutate(QByteArray file)
    {
        const int count = 1 + int(random_() % 3);
        for (int k = 0; k < count; ++k)
            mutateOnce(file);
        return file;
    }
    std::mt19937 &random() { return random_; }

private:
    // A byte of a record's length prefix or text, or just after it: where a
    // change matters.
    qsizetype textPosition(const QByteArray &file)
    {
        const qsizetype records = std::max<qsizetype>(1, file.size() / RecordBytes);
        const qsizetype start = qsizetype(random_() % records) * RecordBytes;
        return std::min(file.size() - 1, start + qsizetype(random_() % 10));
    }
    char numberish()
    {
        static const char chars[] = "0123456789+-.,e :xX\t";
        return chars[random_() % (sizeof chars - 1)];
    }

    void mutateOnce(QByteArray &file)
    {
        if (file.isEmpty())
            return;
        const qsizetype at = textPosition(file);
        switch (random_() % 9) {
        case 0:   // bit flips
            for (int n = 1 + int(random_() % 3); n > 0; --n)
                file[at] = char(file[at] ^ (1 << (random_() % 8)));
            break;
        case 1:   // any byte
            file[at] = char(random_());
            break;
        case 2:   // cut short, or longer
            if (random_() % 2)
                file.truncate(qsizetype(random_() % file.size()));
            else
                file.append(QByteArray(qsizetype(1 + random_() % 300), char(random_())));
            break;
        case 3: {   // a length prefix: one off, small, or wild
            const qsizetype prefix = at - at % RecordBytes;
            if (prefix + 1 >= file.size())
                break;
            const int old = quint8(file[prefix]) | quint8(file[prefix + 1]) << 8;
            const int choices[] = {old + 1, old - 1, int(random_() % 12), int(random_() % 0x10000)};
            const int length = choices[random_() % 4] & 0xFFFF;
            file[prefix] = char(length & 0xFF);
            file[prefix + 1] = char(length >> 8);
            break;
        }
        case 4:   // bytes put in, moving everything after them
            file.insert(at, QByteArray(qsizetype(1 + random_() % 4), char(random_())));
            break;
        case 5: {   // bytes that are not Big5, or Big5 the window never shows
            static const QByteArray odd[] = {"\x80", "\xFF", "\xFF\xFF", "\xA1\x20", "\xA1\x40", "\xA2\xB0",
                                             "\xA4\x40", "\x81\x7F"};
            const QByteArray &b = odd[random_() % std::size(odd)];
            file.replace(at, std::min(b.size(), file.size() - at), b.left(file.size() - at));
            break;
        }
        default:   // a character that could continue or spoil a number
            file[at] = numberish();
            break;
        }
    }

    std::mt19937 random_;
};

} // namespace

TEST(ParameterFileFuzz, EveryAcceptedFileWritesOnlyWhatItsRecordsState)
{
    test::qtApp();
    Window window;
    Mutator mutator(26);
    std::vector<QByteArray> seeds;
    std::vector<QStringList> seedTexts;
    for (int k = 0; k < 6; ++k) {
        seeds.push_back(savedFile(window, mutator.random(), k == 0));
        ASSERT_NO_THROW(seedTexts.push_back(parseParameterFile(seeds.back())))
            << "a file the console saved is refused";
    }

    int accepted = 0;
    int changedAndAccepted = 0;
    int writes = 0;
    int failures = 0;
    for (int m = 0; m < Mutants && failures < 5; ++m) {
        const size_t s = size_t(m) % seeds.size();
        const QByteArray file = mutator.mutate(seeds[s]);
        const int dpCode = 47 + int(mutator.random()() % 4);
        SCOPED_TRACE("mutant " + std::to_string(m) + ": " + file.left(RecordBytes * 4).toHex().toStdString());

        // The test's own verdict: the first damaged record, if any.
        int firstBad = -1;
        QStringList texts;
        if (file.size() >= HoldingRegisterCount * RecordBytes) {
            for (int a = 0; a < HoldingRegisterCount && firstBad < 0; ++a) {
                const std::optional<QString> text = recordText(file, a);
                if (!text || !expectedWrite(*findRegister(a), *text, dpCode).recordOk)
                    firstBad = a;
                else
                    texts << *text;
            }
        }
        QStringList loaded;
        try {
            loaded = parseParameterFile(file);
        } catch (const Error &e) {
            const QString named = file.size() < HoldingRegisterCount * RecordBytes
                ? QStringLiteral("the file holds ")
                : recordName(std::max(firstBad, 0)) + u':';
            if ((file.size() >= HoldingRegisterCount * RecordBytes && firstBad < 0)
                || !e.detail().startsWith(named)) {
                ++failures;
                ADD_FAILURE() << "refused for " << e.detail().toStdString() << ", expected " << named.toStdString();
            }
            continue;
        }
        if (firstBad >= 0 || file.size() < HoldingRegisterCount * RecordBytes) {
            ++failures;
            ADD_FAILURE() << "accepted, though record " << firstBad + 1 << " is damaged: "
                          << recordText(file, std::max(firstBad, 0)).value_or(QStringLiteral("(no text)")).toStdString();
            continue;
        }
        ++accepted;
        if (loaded != seedTexts[s])
            ++changedAndAccepted;
        EXPECT_EQ(loaded, texts);

        // As "Open File" loads it and the write-all encodes it.
        window.controls->loadTexts(loaded);
        for (int address : WriteCycle::allWriteOrder()) {
            const RegisterInfo &r = *findRegister(address);
            const Expected expected = expectedWrite(r, texts[address], dpCode);
            const ParameterValue v = Get_Parameter_Value(address, *window.controls, dpCode);
            const std::optional<int> written =
                v.status == ParameterValue::Ok ? std::optional<int>(v.value) : std::nullopt;
            writes += written.has_value();
            if (written != expected.value) {
                ++failures;
                ADD_FAILURE() << recordName(address).toStdString() << " \"" << texts[address].toStdString()
                              << "\" at decimal-point code " << dpCode << " would write "
                              << shown(written) << ", it states " << shown(expected.value);
            }
        }
    }
    std::cout << "parameter file fuzz: " << Mutants << " mutants, " << accepted << " accepted ("
              << changedAndAccepted << " with changed texts), " << Mutants - accepted << " refused, " << writes
              << " values written as stated\n";
    // The mutations must reach the texts, not only the filler.
    EXPECT_GT(changedAndAccepted, 20);
    EXPECT_GT(Mutants - accepted, 300);
}
