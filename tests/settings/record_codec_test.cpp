#include "settings/cp950.h"
#include "settings/record_codec.h"
#include "settings/settings_store.h"
#include "settings_test_files.h"

#include <gtest/gtest.h>

#include <functional>

using namespace orbalis;
using namespace orbalis::test;

namespace {

QStringList sixteen(const QString &text)
{
    QStringList texts;
    for (int k = 0; k < 16; ++k)
        texts.append(text);
    return texts;
}

int errorNumberOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const Error &e) {
        return e.number();
    }
    return 0;
}

} // namespace

TEST(Cp950, ChineseRoundTripsAndUnencodableTextIsRefused)
{
    // 溫度一 in Big5: B7C5 ABD7 A440.
    EXPECT_EQ(Encode_Cp950(QStringLiteral("溫度一")), QByteArray::fromHex("b7c5abd7a440"));
    EXPECT_EQ(Decode_Cp950(QByteArray::fromHex("b7c5abd7a440")), QStringLiteral("溫度一"));
    EXPECT_EQ(Encode_Cp950(QStringLiteral("Tank 1")), QByteArray("Tank 1"));

    EXPECT_EQ(errorNumberOf([] { Encode_Cp950(QStringLiteral("Tank 😀")); }), InvalidArgument);
    EXPECT_EQ(errorNumberOf([] { Encode_Cp950(QStringLiteral("é")); }), InvalidArgument);
    // A lead byte without its trail byte, and a lead byte with a trail byte out of range.
    EXPECT_EQ(errorNumberOf([] { Decode_Cp950(QByteArray::fromHex("41b7")); }), InvalidArgument);
    EXPECT_EQ(errorNumberOf([] { Decode_Cp950(QByteArray::fromHex("a120")); }), InvalidArgument);
}

TEST(BuildRecord, DefaultSerialRecordByteForByte)
{
    const QByteArray record = Build_Record(Default_Record_Texts(1));
    QByteArray expected = QByteArray::fromHex("0400") + "COM1" + QByteArray::fromHex("0500") + "19200"
        + QByteArray::fromHex("0100") + "2" + QByteArray::fromHex("0100") + "8"
        + QByteArray::fromHex("0400") + "None";
    ASSERT_EQ(expected.size(), 25);
    expected.append(103, '\0');
    EXPECT_EQ(record, expected);
}

TEST(BuildRecord, TextsThatDoNotFitGiveBadRecordLengthAndTheExcess)
{
    // 16 prefixes take 32 bytes: 96 bytes of text fit exactly, 97 do not.
    QStringList texts = sixteen(QStringLiteral("123456"));
    EXPECT_EQ(Record_Excess_Bytes(texts), 0);
    EXPECT_EQ(Build_Record(texts).size(), 128);

    texts[15] = QStringLiteral("1234567");
    EXPECT_EQ(Record_Excess_Bytes(texts), 1);
    EXPECT_EQ(errorNumberOf([&] { Build_Record(texts); }), BadRecordLength);

    // Chinese counts in code page 950 bytes, two per character.
    texts = sixteen(QStringLiteral("溫度一"));   // 16 * (2 + 6) = 128
    EXPECT_EQ(Record_Excess_Bytes(texts), 0);
    texts[0] = QStringLiteral("溫度一二");
    EXPECT_EQ(Record_Excess_Bytes(texts), 2);
    try {
        Build_Record(texts);
        ADD_FAILURE() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), BadRecordLength);
        EXPECT_TRUE(e.detail().contains(QStringLiteral("2 more"))) << e.detail().toStdString();
    }

    texts[0] = QStringLiteral("😀");
    EXPECT_EQ(errorNumberOf([&] { Build_Record(texts); }), InvalidArgument);
}

TEST(ParseRecord, ReadsWhatBuildRecordWrites)
{
    const QStringList texts = {QStringLiteral("COM7"), QString(), QStringLiteral("  "),
                               QStringLiteral("溫度一"), QStringLiteral("Odd")};
    const ParsedRecord parsed = Parse_Record(Build_Record(texts), 5);
    EXPECT_FALSE(parsed.fault);
    ASSERT_EQ(parsed.texts.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(parsed.texts[size_t(i)]);
        EXPECT_EQ(*parsed.texts[size_t(i)], texts[i]);
    }
}

TEST(ParseRecord, RecordCutShortByTheEndOfTheFile)
{
    const QByteArray full = recordOf({"COM3", "9600", "1", "7", "Even"});
    // Whole texts before the cut are kept, texts after it read as empty.
    ParsedRecord parsed = Parse_Record(full.left(6 + 6), 5);   // "COM3" and "9600"
    EXPECT_FALSE(parsed.fault);
    EXPECT_EQ(*parsed.texts[0], "COM3");
    EXPECT_EQ(*parsed.texts[1], "9600");
    for (size_t i = 2; i < 5; ++i)
        EXPECT_EQ(parsed.texts[i], QString());

    // Half a prefix is still beyond the end.
    parsed = Parse_Record(full.left(13), 5);
    EXPECT_FALSE(parsed.fault);
    EXPECT_EQ(*parsed.texts[2], QString());

    // A prefix whose text the file cuts off: input past end of file.
    parsed = Parse_Record(full.left(9), 5);
    ASSERT_TRUE(parsed.fault);
    EXPECT_EQ(parsed.fault->number(), InputPastEndOfFile);
    EXPECT_EQ(*parsed.texts[0], "COM3");
    EXPECT_FALSE(parsed.texts[1]);
    EXPECT_FALSE(parsed.texts[4]);

    parsed = Parse_Record(QByteArray(), 16);
    EXPECT_FALSE(parsed.fault);
    for (const auto &t : parsed.texts)
        EXPECT_EQ(t, QString());
}

TEST(ParseRecord, LengthPrefixesThatRunPastTheRecord)
{
    // Second text claims 200 bytes in a full record.
    QByteArray bytes = recordOf({"AB", "CD"});
    bytes[4] = char(200);
    ParsedRecord parsed = Parse_Record(bytes, 16);
    ASSERT_TRUE(parsed.fault);
    EXPECT_EQ(parsed.fault->number(), BadRecordLength);
    EXPECT_EQ(*parsed.texts[0], "AB");
    EXPECT_FALSE(parsed.texts[1]);

    // 0xFFFF must not be read as a negative length.
    bytes = QByteArray::fromHex("ffff") + QByteArray(126, 'x');
    parsed = Parse_Record(bytes, 5);
    ASSERT_TRUE(parsed.fault);
    EXPECT_EQ(parsed.fault->number(), BadRecordLength);

    // Texts filling the record leave no room for the last prefix.
    QList<QByteArray> texts;
    for (int k = 0; k < 15; ++k)
        texts.append(k == 0 ? QByteArray(128 - 15 * 2, 'n') : QByteArray());
    bytes = recordOf(texts);
    ASSERT_EQ(bytes.size(), 128);
    parsed = Parse_Record(bytes, 16);
    ASSERT_TRUE(parsed.fault);
    EXPECT_EQ(parsed.fault->number(), BadRecordLength);
    EXPECT_TRUE(parsed.texts[14]);
    EXPECT_FALSE(parsed.texts[15]);
}

TEST(ParseRecord, OneUndecodableTextLeavesTheOthersReadable)
{
    const QByteArray bytes = recordOf({"001", QByteArray::fromHex("41b7"), "003"});
    const ParsedRecord parsed = Parse_Record(bytes, 16);
    ASSERT_TRUE(parsed.fault);
    EXPECT_EQ(parsed.fault->number(), InvalidArgument);
    EXPECT_TRUE(parsed.fault->detail().contains(QStringLiteral("text 2")));
    EXPECT_EQ(*parsed.texts[0], "001");
    EXPECT_FALSE(parsed.texts[1]);
    EXPECT_EQ(*parsed.texts[2], "003");
    EXPECT_EQ(*parsed.texts[3], QString());   // zero tail: empty texts
}

TEST(ParseRecord, RandomBytesNeverReadOutsideTheRecord)
{
    // Under the sanitizers this also proves no read past the bytes given.
    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 24;
    };
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes(int(next() % 129), '\0');
        for (char &c : bytes)
            c = char(next() % 4 == 0 ? next() % 8 : next());
        const ParsedRecord parsed = Parse_Record(bytes, round % 2 ? 16 : 5);
        ASSERT_EQ(parsed.texts.size(), round % 2 ? 16u : 5u);
    }
}
