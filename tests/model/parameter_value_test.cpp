#include "model/parameter_value.h"
#include "model/register_map.h"

#include "support/fakes.h"

#include <gtest/gtest.h>

using namespace orbalis;
using orbalis::test::RecordingSink;

namespace {

int addressOf(std::string_view mnemonic)
{
    for (const RegisterInfo &r : holdingRegisters())
        if (r.mnemonic == mnemonic)
            return r.address;
    ADD_FAILURE() << "no register " << mnemonic;
    return -1;
}

ParameterValue typed(std::string_view mnemonic, const char *text, int dpCode = 48)
{
    RecordingSink controls;
    const int address = addressOf(mnemonic);
    controls.texts[address] = QString::fromUtf8(text);
    return Get_Parameter_Value(address, controls, dpCode);
}

ParameterValue chosen(std::string_view mnemonic, std::string_view item)
{
    RecordingSink controls;
    const int address = addressOf(mnemonic);
    const auto &items = findRegister(address)->enumeration->items;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == item)
            controls.selections[address] = int(i);
    EXPECT_TRUE(controls.selections.contains(address)) << "no item " << item;
    return Get_Parameter_Value(address, controls, 48);
}

std::int32_t okValue(const ParameterValue &v)
{
    EXPECT_EQ(v.status, ParameterValue::Ok) << v.problem.toStdString();
    EXPECT_TRUE(v.problem.isEmpty());
    return v.value;
}

} // namespace

TEST(GetParameterValue, TextKindsScaleRoundHalfEvenAndWrapNegatives)
{
    EXPECT_EQ(okValue(typed("SV", "25.5")), 255);
    EXPECT_EQ(okValue(typed("SV", "-1.5")), 65521);
    EXPECT_EQ(okValue(typed("PB1", "3.25")), 32);    // 32.5 goes to the even 32
    EXPECT_EQ(okValue(typed("PB1", "3.35")), 34);    // 33.5 goes to the even 34
    EXPECT_EQ(okValue(typed("ID", "7")), 7);
    EXPECT_EQ(okValue(typed("ID", "2.5")), 2);
    EXPECT_EQ(okValue(typed("CT", "65535")), 65535);
    EXPECT_EQ(okValue(typed("CT", "-32768")), 32768);
    EXPECT_EQ(okValue(typed("JP1", "-1")), 65535);
    EXPECT_EQ(okValue(typed("A1DT", "00:30")), 0);   // only the leading number counts
    EXPECT_EQ(okValue(typed("RT1", "12:30")), 12);
    EXPECT_EQ(okValue(typed("RT1", "abc")), 0);
    EXPECT_EQ(okValue(typed("OUTL", "")), 0);
}

TEST(GetParameterValue, ScaledFollowsTheSlotsDecimalPointCode)
{
    EXPECT_EQ(okValue(typed("SV", "1.234", 49)), 123);
    EXPECT_EQ(okValue(typed("SV", "1.234", 50)), 1234);
    EXPECT_EQ(okValue(typed("SV", "1.234", 47)), 1);
    // Codes other than 48..50 mean no decimals.
    EXPECT_EQ(okValue(typed("SV", "12.5", 0)), 12);
    EXPECT_EQ(okValue(typed("SV", "13.5", 51)), 14);
    EXPECT_EQ(okValue(typed("A1SP", "-0.05", 49)), 65531);
    // Tenths ignore the code.
    EXPECT_EQ(okValue(typed("SOFT", "1.5", 50)), 15);
}

TEST(GetParameterValue, ScalingIsExactSoThatOnlyTrueHalvesGoToTheEvenNeighbour)
{
    // A file saved from a slot with more decimals, written into one with fewer.
    // In binary 1.015 * 100 falls just short of 101.5.
    EXPECT_EQ(okValue(typed("SV", "1.015", 49)), 102);
    EXPECT_EQ(okValue(typed("SV", "2.675", 49)), 268);
    EXPECT_EQ(okValue(typed("SV", "1.005", 49)), 100);
    EXPECT_EQ(okValue(typed("SV", "-1.015", 49)), 65536 - 102);
    EXPECT_EQ(okValue(typed("SV", "3.2765", 50)), 3276);
    // Just above a half is no half.
    EXPECT_EQ(okValue(typed("PB1", "1.25000000000000000001")), 13);
    EXPECT_EQ(okValue(typed("PB1", "1.24999999999999999999")), 12);
    EXPECT_EQ(okValue(typed("SV", "0.00000000000000000000000000001e28", 49)), 10);
    EXPECT_EQ(okValue(typed("SV", "0.000000000000000000000000000015e30", 48)), 150);
}

TEST(GetParameterValue, ChoiceIsSelectedPositionPlusFirstCode)
{
    EXPECT_EQ(okValue(chosen("A1FU", "A_LO")), 2);
    EXPECT_EQ(okValue(chosen("A2FU", "B_BDLO")), 12);
    EXPECT_EQ(okValue(chosen("SF3", "End")), 80);
    EXPECT_EQ(okValue(chosen("RUN", "AT2 ")), 19);
    EXPECT_EQ(okValue(chosen("BAUD", "19200")), 64);
    EXPECT_EQ(okValue(chosen("TYPE", "LINEAR_V")), 39);
    EXPECT_EQ(okValue(chosen("EROP", "0111")), 60);
    EXPECT_EQ(okValue(chosen("M.Basckup", "ON")), 69);
    EXPECT_EQ(okValue(chosen("DP", "0000.")), 47);
}

TEST(GetParameterValue, RefusesWhatMustNotBeSent)
{
    // -70000 wraps to -4464, which is no 16-bit pattern.
    const ParameterValue wrapped = typed("CT", "-70000");
    EXPECT_EQ(wrapped.status, ParameterValue::OutOfRange);
    EXPECT_EQ(wrapped.value, -4464);
    EXPECT_FALSE(wrapped.problem.isEmpty());

    EXPECT_EQ(typed("CT", "65536").status, ParameterValue::OutOfRange);
    EXPECT_EQ(okValue(typed("CT", "-65536")), 0);
    EXPECT_EQ(typed("CT", "-65537").status, ParameterValue::OutOfRange);
    EXPECT_EQ(typed("SV", "99999999999").status, ParameterValue::OutOfRange);
    EXPECT_EQ(typed("SV", "1e300").status, ParameterValue::OutOfRange);
    EXPECT_EQ(typed("SV", "-3e9").status, ParameterValue::OutOfRange);
    EXPECT_EQ(typed("SV", "6553.5", 48).status, ParameterValue::Ok);
    EXPECT_EQ(typed("SV", "6553.6", 48).status, ParameterValue::OutOfRange);

    // An unselected combo box would otherwise send a neighbour's code (or -1).
    RecordingSink controls;
    for (int address : {6, 15, 40, 65}) {
        const ParameterValue v = Get_Parameter_Value(address, controls, 48);
        EXPECT_EQ(v.status, ParameterValue::NothingSelected) << address;
        EXPECT_FALSE(v.problem.isEmpty());
    }
    // A position past the list would name the next enumeration's item.
    controls.selections[7] = 4;
    EXPECT_EQ(Get_Parameter_Value(7, controls, 48).status, ParameterValue::OutOfRange);

    for (int address : {-1, 109, 4096, 4125}) {
        controls.texts[address] = QStringLiteral("5");
        EXPECT_EQ(Get_Parameter_Value(address, controls, 48).status, ParameterValue::NotAParameter)
            << address;
    }
}
