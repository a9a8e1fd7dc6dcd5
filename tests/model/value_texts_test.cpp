#include "model/display.h"

#include <gtest/gtest.h>

using namespace orbalis;

TEST(ValueTexts, IntegersTenthsAndScaled)
{
    EXPECT_EQ(unsignedText(65535), "65535");
    EXPECT_EQ(signedText(-1), "-1");
    EXPECT_EQ(signedText(-32768), "-32768");
    EXPECT_EQ(tenthsText(std::int16_t(65535)), "-0.1");
    EXPECT_EQ(tenthsText(-5), "-0.5");
    EXPECT_EQ(tenthsText(1234), "123.4");
    EXPECT_EQ(tenthsText(0), "0.0");
    EXPECT_EQ(tenthsText(-32768), "-3276.8");
    EXPECT_EQ(scaledText(5, 50), "0.005");
    EXPECT_EQ(scaledText(5, 49), "0.05");
    EXPECT_EQ(scaledText(5, 48), "0.5");
    EXPECT_EQ(scaledText(5, 47), "5");
    EXPECT_EQ(scaledText(-1050, 50), "-1.050");
    EXPECT_EQ(scaledText(-1, 49), "-0.01");
    EXPECT_EQ(scaledText(32767, 50), "32.767");
    EXPECT_EQ(scaledText(-32768, 48), "-3276.8");
    EXPECT_EQ(scaledText(255, 0), "255");
    EXPECT_EQ(scaledText(-255, 51), "-255");
}

TEST(ValueTexts, EveryRegisterValueReadsAsPrintfWouldWriteIt)
{
    // The whole signed range at each decimal point, the unsigned range in
    // hex, and times across the digits of their minutes.
    for (int s = -32768; s <= 32767; ++s) {
        const auto v = std::int16_t(s);
        ASSERT_EQ(tenthsText(v), QString::asprintf("%.1f", s / 10.0)) << s;
        ASSERT_EQ(scaledText(v, 49), QString::asprintf("%.2f", s / 100.0)) << s;
        ASSERT_EQ(scaledText(v, 50), QString::asprintf("%.3f", s / 1000.0)) << s;
        ASSERT_EQ(hexText(std::uint16_t(s)), QString::asprintf("%04X", unsigned(std::uint16_t(s)))) << s;
    }
    for (std::uint64_t v = 0; v <= 0xFFFFFFFFu; v = v * 3 + 7) {
        const auto t = std::uint32_t(v) / 10;
        ASSERT_EQ(timeText(std::uint32_t(v)), QString::asprintf("%02u:%02u", t / 60, t % 60)) << v;
    }
}

TEST(ValueTexts, TimeIsBaseSixtyOfWholeUnits)
{
    EXPECT_EQ(timeText(0), "00:00");
    EXPECT_EQ(timeText(9), "00:00");       // tenths are dropped, not rounded
    EXPECT_EQ(timeText(754), "01:15");
    EXPECT_EQ(timeText(60000), "100:00");
    EXPECT_EQ(timeText(65536), "109:13");
    EXPECT_EQ(timeText(2147483648u), "3579139:24");   // 2^31 and up stay positive
    EXPECT_EQ(timeText(4294967295u), "7158278:49");
}

TEST(ValueTexts, HexIsFourUpperCaseDigits)
{
    EXPECT_EQ(hexText(0x0A1F), "0A1F");
    EXPECT_EQ(hexText(5), "0005");
    EXPECT_EQ(hexText(0xFFFF), "FFFF");
    EXPECT_EQ(hexText(0xB000), "B000");

    QString t = QStringLiteral(" A ");
    Pad_Hex_Digit(t);
    EXPECT_EQ(t, "0A");
    t = QStringLiteral("7");
    Pad_Hex_Digit(t);
    EXPECT_EQ(t, "07");
    t = QStringLiteral(" 1F");
    Pad_Hex_Digit(t);
    EXPECT_EQ(t, "1F");
    t = QStringLiteral("g");   // not a hex digit: only trimmed
    Pad_Hex_Digit(t);
    EXPECT_EQ(t, "g");
    t = QStringLiteral("  ");
    Pad_Hex_Digit(t);
    EXPECT_EQ(t, "");
}

TEST(ValueTexts, ChoiceOutsideItsRangeSelectsTheFirstItem)
{
    EXPECT_EQ(choiceIndex(99, 0, 12), 0);
    EXPECT_EQ(choiceIndex(12, 0, 12), 12);
    EXPECT_EQ(choiceIndex(13, 13, 16), 0);
    EXPECT_EQ(choiceIndex(12, 13, 16), 0);
    EXPECT_EQ(choiceIndex(16, 13, 16), 3);
    EXPECT_EQ(choiceIndex(17, 13, 16), 0);
    EXPECT_EQ(choiceIndex(65535, 72, 82), 0);
}
