#include "settings/record_codec.h"
#include "settings/settings_store.h"
#include "settings_test_files.h"

#include <gtest/gtest.h>

using namespace orbalis;
using namespace orbalis::test;

TEST(RecordCodec, TextsMustFitTheirRecordInCodePage950Bytes)
{
    // 16 prefixes take 32 bytes: 96 bytes of text fit exactly, 97 do not.
    QStringList texts(16, QStringLiteral("123456"));
    EXPECT_EQ(recordExcessBytes(texts), 0);
    EXPECT_EQ(buildRecord(texts), recordOfSame("123456"));
    texts[15] = QStringLiteral("1234567");
    EXPECT_EQ(recordExcessBytes(texts), 1);
    EXPECT_EQ(errorNumberOf([&] { buildRecord(texts); }), BadRecordLength);

    // A Chinese character takes two bytes: 溫度一 is B7C5 ABD7 A440.
    texts = QStringList(16, QStringLiteral("溫度一"));
    EXPECT_EQ(buildRecord(texts), recordOfSame(QByteArray::fromHex("b7c5abd7a440")));
    texts[0] = QStringLiteral("溫度一二");
    EXPECT_EQ(recordExcessBytes(texts), 2);
    texts[0] = QStringLiteral("😀");
    EXPECT_EQ(errorNumberOf([&] { buildRecord(texts); }), InvalidArgument);
}

TEST(RecordCodec, MalformedRecordsKeepWhatPrecedesTheFault)
{
    const QByteArray serial = recordOf({"COM3", "9600", "1", "7", "Even"});
    QByteArray huge = QByteArray::fromHex("ffff") + QByteArray(126, 'x');   // not a negative length
    QList<QByteArray> filling(15);
    filling[0] = QByteArray(128 - 15 * 2, 'n');   // no room left for a 16th prefix
    struct Case {
        const char *what;
        QByteArray bytes;
        int count;
        int fault;          // 0: none
        int readable;       // texts read before the fault (or all)
    } cases[] = {
        {"cut between texts", serial.left(12), 5, 0, 5},
        {"cut inside a prefix", serial.left(13), 5, 0, 5},
        {"cut inside a text", serial.left(9), 5, InputPastEndOfFile, 1},
        {"empty", QByteArray(), 16, 0, 16},
        {"0xFFFF length", huge, 5, BadRecordLength, 0},
        {"record full before the last text", recordOf(filling), 16, BadRecordLength, 15},
    };
    for (const Case &c : cases) {
        const ParsedRecord parsed = parseRecord(c.bytes, c.count);
        ASSERT_EQ(int(parsed.texts.size()), c.count) << c.what;
        EXPECT_EQ(parsed.fault ? parsed.fault->number() : 0, c.fault) << c.what;
        for (int i = 0; i < c.count; ++i)
            EXPECT_EQ(bool(parsed.texts[size_t(i)]), i < c.readable) << c.what << " text " << i;
    }
    const ParsedRecord cut = parseRecord(serial.left(12), 5);
    EXPECT_EQ(*cut.texts[1], "9600");
    EXPECT_EQ(*cut.texts[2], QString());
}
