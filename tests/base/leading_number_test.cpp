#include "base/leading_number.h"

#include <gtest/gtest.h>

#include <QString>
#include <clocale>
#include <optional>

using namespace orbalis;

TEST(LeadingNumber, ReadsOnlyTheLeadingNumber)
{
    EXPECT_DOUBLE_EQ(leadingNumber(u"25.5"), 25.5);
    EXPECT_DOUBLE_EQ(leadingNumber(u"12:30"), 12.0);
    EXPECT_DOUBLE_EQ(leadingNumber(u"  007  "), 7.0);
    EXPECT_DOUBLE_EQ(leadingNumber(u"-1.5"), -1.5);
    EXPECT_DOUBLE_EQ(leadingNumber(u"+3"), 3.0);
    EXPECT_DOUBLE_EQ(leadingNumber(u".5"), 0.5);
    EXPECT_DOUBLE_EQ(leadingNumber(u"1e3x"), 1000.0);
    EXPECT_DOUBLE_EQ(leadingNumber(u"2E-1"), 0.2);
    EXPECT_DOUBLE_EQ(leadingNumber(u"5e"), 5.0);      // no exponent digits: stops before e
    EXPECT_DOUBLE_EQ(leadingNumber(u"abc"), 0.0);
    EXPECT_DOUBLE_EQ(leadingNumber(u"---"), 0.0);
    EXPECT_DOUBLE_EQ(leadingNumber(u""), 0.0);
    EXPECT_DOUBLE_EQ(leadingNumber(u"-."), 0.0);
    EXPECT_FALSE(hasLeadingNumber(u"   "));
    EXPECT_TRUE(hasLeadingNumber(u" 0"));
}

TEST(LeadingNumber, PointIsTheDecimalSeparatorWhateverTheLocale)
{
    const char *old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
        EXPECT_DOUBLE_EQ(leadingNumber(u"25.5"), 25.5);
        EXPECT_DOUBLE_EQ(leadingNumber(u"25,5"), 25.0);
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_DOUBLE_EQ(leadingNumber(u"25,5"), 25.0);
}

TEST(LeadingNumber, HugeAndTinyNumbers)
{
    EXPECT_FALSE(roundHalfEven(leadingNumber(u"1e400")).has_value());
    EXPECT_FALSE(roundHalfEven(leadingNumber(u"-1e400")).has_value());
    EXPECT_EQ(roundHalfEven(leadingNumber(u"1e-400")), 0);
    EXPECT_FALSE(roundHalfEven(2147483648.0).has_value());
    EXPECT_EQ(roundHalfEven(2147483647.0), 2147483647);
    EXPECT_EQ(roundHalfEven(-2147483648.0), -2147483647 - 1);
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(roundHalfEven(32.5), 32);
    EXPECT_EQ(roundHalfEven(33.5), 34);
    EXPECT_EQ(roundHalfEven(-0.5), 0);
    EXPECT_EQ(roundHalfEven(-1.5), -2);
    EXPECT_EQ(roundHalfEven(123.4), 123);
    EXPECT_EQ(roundHalfEven(2.6), 3);
}

TEST(ScaledLeadingNumber, WorksOnTheDecimalDigitsSoOnlyTrueHalvesGoToTheEvenNeighbour)
{
    struct Case {
        const char16_t *text;
        int decimals;
        std::optional<std::int32_t> value;
    };
    const Case cases[] = {
        {u"  25.5xyz", 1, 255},
        {u"-2.5", 0, -2},
        {u"-3.5", 0, -4},
        {u"0.5", 0, 0},
        {u"0.51", 0, 1},
        {u"0.05", 0, 0},
        {u"1.5e-1", 1, 2},
        {u"12e2", 0, 1200},
        {u".000000000000000000000000000125e30", 0, 125},
        {u"abc", 3, 0},
        {u"-0", 0, 0},
        {u"2147483647", 0, 2147483647},
        {u"2147483647.5", 0, std::nullopt},
        {u"-2147483648.5", 0, -2147483647 - 1},
        {u"99999999999", 0, std::nullopt},
        {u"1e99999999999999999999", 0, std::nullopt},
        {u"1e-99999999999999999999", 0, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(scaledLeadingNumber(c.text, c.decimals), c.value) << QString::fromUtf16(c.text).toStdString();
}
