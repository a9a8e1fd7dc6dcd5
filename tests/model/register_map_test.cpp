#include "model/register_addresses.h"
#include "model/register_map.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace orbalis;

namespace {

// The register map as the controller documents it, one address a line:
// address|mnemonic|control|frame|page|kind|initial text
// control: text, combo (editable), list (list only, nothing selected), none.
// kind "Choice a..b" gives the enumeration's code range.
const char *const ExpectedHolding = R"(0|SV|text|Control Settings|left|Scaled|0.0
1|RAMP|text|Ramp|User|Scaled|0.0
2|SOFT|text|Soft-start|User|Tenths|0.0
3|SSV|text|Soft-start|User|Scaled|0.00
4|A1SP|text|Alarm 1|User|Scaled|0
5|A1HY|text|Alarm 1|User|Scaled|0.00
6|A1FU|combo|Alarm 1|User|Choice 0..12|A_OFF
7|A1MD|combo|Alarm 1|User|Choice 13..16|NONE
8|A1DT|text|Alarm 1|User|Unsigned|00:00
9|A2SP|text|Alarm 2|User|Scaled|0.00
10|A2HY|text|Alarm 2|User|Scaled|0.00
11|A2FU|combo|Alarm 2|User|Choice 0..12|A_OFF
12|A2MD|combo|Alarm 2|User|Choice 13..16|NONE
13|A2DT|text|Alarm 2|User|Unsigned|00:00
14|OUTL|text|Control Settings|left|Tenths|0
15|RUN|list|Control Settings|left|Choice 17..23|
16|ACT|combo|Control Action|User|Choice 24..25|REV
17|PB1|text|1st P.I.D|PID|Tenths|0.0
18|TI1|text|1st P.I.D|PID|Tenths|0.0
19|TD1|text|1st P.I.D|PID|Tenths|0.0
20|MR1|text|1st P.I.D|PID|Tenths|0.0
21|AR1|text|1st P.I.D|PID|Tenths|0.0
22|ASP1|text|1st P.I.D|PID|Scaled|0.0
23|PB2|text|2nd P.I.D|PID|Tenths|0.0
24|TI2|text|2nd P.I.D|PID|Tenths|0.0
25|TD2|text|2nd P.I.D|PID|Tenths|0.0
26|MR2|text|2nd P.I.D|PID|Tenths|0.0
27|AR2|text|2nd P.I.D|PID|Tenths|0.0
28|ASP2|text|2nd P.I.D|PID|Scaled|0.0
29|PB3|text|3rd P.I.D|PID|Tenths|0.0
30|TI3|text|3rd P.I.D|PID|Tenths|0.0
31|TD3|text|3rd P.I.D|PID|Tenths|0.0
32|MR3|text|3rd P.I.D|PID|Tenths|0.0
33|AR3|text|3rd P.I.D|PID|Tenths|0.0
34|ASP3|text|3rd P.I.D|PID|Scaled|0.0
35|PB4|text|4th P.I.D|PID|Tenths|0.0
36|TI4|text|4th P.I.D|PID|Tenths|0.0
37|TD4|text|4th P.I.D|PID|Tenths|0.0
38|MR4|text|4th P.I.D|PID|Tenths|0.0
39|AR4|text|4th P.I.D|PID|Tenths|0.0
40|TYPE|list|Input Type|Option|Choice 26..39|
41|SCAL|text|Scal of Linear I/P|Option|Scaled|0
42|SCAH|text|Scal of Linear I/P|Option|Scaled|0
43|CUT|combo|Scal of Linear I/P|Option|Choice 40..43|None
44|UNIT|combo|Measurement Unit|Option|Choice 44..46|oC
45|DP|combo|Measurement Unit|Option|Choice 47..50|0000.
46|LOLT|text|Measurement range|Option|Scaled|0
47|HILT|text|Measurement range|Option|Scaled|0
48|PTME|list|Time unit|Option|Choice 51..52|
49|EROP|combo|corresponding error|Option|Choice 53..60|0000
50|SVOF|text|Offset Adjustment|Option|Scaled|0
51|PVOF|text|Offset Adjustment|Option|Scaled|0
52|FILT|text|Filter settings|Option|Tenths|0
53|BAUD|combo|Communication settings|Option|Choice 61..64|19200
54|ID|text|Communication settings|Option|Signed|1
55|CT|text|Output Settings|Output|Signed|0
56|Function|combo|Output Settings|Output|Choice 65..67|PV
57|CH|text|Output Settings|Output|Signed|00000
58|CL|text|Output Settings|Output|Signed|00000
59|M.Basckup|combo|Program Setting|Program|Choice 68..69|OFF
60|Start at|combo|Program Setting|Program|Choice 70..71|PV
61|Band|text|Program Setting|Program|Scaled|0.0
62|RT1|text|Seg 1|Program|Unsigned|60
63|SP1|text|Seg 1|Program|Scaled|20.0
64|ST1|text|Seg 1|Program|Unsigned|60
65|SF1|list|Seg 1|Program|Choice 72..82|
66|JP1|text|Seg 1|Program|Signed|0
67|RT2|text|Seg 2|Program|Unsigned|60
68|SP2|text|Seg 2|Program|Scaled|20.0
69|ST2|text|Seg 2|Program|Unsigned|60
70|SF2|list|Seg 2|Program|Choice 72..82|
71|JP2|text|Seg 2|Program|Signed|0
72|RT3|text|Seg 3|Program|Unsigned|60
73|SP3|text|Seg 3|Program|Scaled|20.0
74|ST3|text|Seg 3|Program|Unsigned|60
75|SF3|list|Seg 3|Program|Choice 72..82|
76|JP3|text|Seg 3|Program|Signed|0
77|RT4|text|Seg 4|Program|Unsigned|60
78|SP4|text|Seg 4|Program|Scaled|20.0
79|ST4|text|Seg 4|Program|Unsigned|60
80|SF4|list|Seg 4|Program|Choice 72..82|
81|JP4|text|Seg 4|Program|Signed|0
82|RT5|text|Seg 5|Program|Unsigned|60
83|SP5|text|Seg 5|Program|Scaled|20.0
84|ST5|text|Seg 5|Program|Unsigned|60
85|SF5|list|Seg 5|Program|Choice 72..82|
86|JP5|text|Seg 5|Program|Signed|0
87|RT6|text|Seg 6|Program|Unsigned|60
88|SP6|text|Seg 6|Program|Scaled|20.0
89|ST6|text|Seg 6|Program|Unsigned|60
90|SF6|list|Seg 6|Program|Choice 72..82|
91|JP6|text|Seg 6|Program|Signed|0
92|RT7|text|Seg 7|Program|Unsigned|60
93|SP7|text|Seg 7|Program|Scaled|20.0
94|ST7|text|Seg 7|Program|Unsigned|60
95|SF7|list|Seg 7|Program|Choice 72..82|
96|JP7|text|Seg 7|Program|Signed|0
97|RT8|text|Seg 8|Program|Unsigned|60
98|SP8|text|Seg 8|Program|Scaled|20.0
99|ST8|text|Seg 8|Program|Unsigned|60
100|SF8|list|Seg 8|Program|Choice 72..82|
101|JP8|text|Seg 8|Program|Signed|0
102|HYSM|text|Output Settings|Output|Scaled|0
103|OUCH|text|Output Settings|Output|Tenths|0
104|OUCL|text|Output Settings|Output|Tenths|0
105|PVOH|text|Offset Adjustment|Option|Scaled|0
106|PVHA|text|Offset Adjustment|Option|Scaled|0
107|PVOL|text|Offset Adjustment|Option|Scaled|0
108|PVLA|text|Offset Adjustment|Option|Scaled|0
)";

const char *const ExpectedInput = R"(4096|PvPvof|text|Read-Only|Aux|Scaled|0
4097|SvSvof|text|Read-Only|Aux|Scaled|0
4098|Outl|text|Read-Only|Aux|Tenths|0
4099|WkErNo|text|Read-Only|Aux|Hex16|0
4100|Ramp_T|none|Read-Only|Aux|Time32|0
4101|Ramp_T|text|Read-Only|Aux|Time32|0
4102|Alm1_T|none|Read-Only|Aux|Time32|0
4103|Alm1_T|text|Read-Only|Aux|Time32|0
4104|Alm2_T|none|Read-Only|Aux|Time32|0
4105|Alm2_T|text|Read-Only|Aux|Time32|0
4106|SV0|text|P.I.D Input|Aux|Tenths|0
4107|PV0|text|P.I.D Input|Aux|Tenths|0
4108|PV1|text|P.I.D Input|Aux|Tenths|0
4109|PV2|text|P.I.D Input|Aux|Tenths|0
4110|Et0|text|P.I.D Input|Aux|Tenths|0
4111|Et1|text|P.I.D Input|Aux|Tenths|0
4112|Et2|text|P.I.D Input|Aux|Tenths|0
4113|Px|text|P.I.D Factor|Aux|Tenths|0
4114|Ix|text|P.I.D Factor|Aux|Signed|0
4115|Dx|text|P.I.D Factor|Aux|Signed|0
4116|Mrx|text|P.I.D Factor|Aux|Tenths|0
4117|Arx|text|P.I.D Factor|Aux|Tenths|0
4118|Pout|text|P.I.D Output|Aux|Tenths|0
4119|Iout|text|P.I.D Output|Aux|Tenths|0
4120|Dout|text|P.I.D Output|Aux|Tenths|0
4121|Pband|text|P.I.D Output|Aux|Tenths|0
4122|Arw|text|P.I.D Output|Aux|Tenths|0
4123|Level|text|P.I.D Output|Aux|Hex16|0
4124|A/D 0|text|A/D|Aux|Signed|65536
4125|A/D 1|text|A/D|Aux|Signed|65536
)";

// first code|items separated by ","
const char *const ExpectedEnumerations = R"(0|A_OFF,A_HI,A_LO,A_DIFH,A_DIFL,A_BDHI,A_BDLO,B_HI,B_LO,B_DIFH,B_DIFL,B_BDHI,B_BDLO
13|NONE,STDY,LATH,STLA
17|OFF,AT1,AT2 ,HAND,ON,PROG,HOLD
24|REV,DIR
26|TC_J,TC_K,TC_T,TC_E,TC_B,TC_R,TC_S,TC_N,TC_C,PT_DPT,PT_JPT,LINEAR_mA,LINEAR_mV,LINEAR_V
40|None,Lo,Hi,HiLo
44|oC,oF,Eng
47|0000.,000.0,00.00,0.000
51|MM:SS,HH:MM
53|0000,0001,0010,0011,0100,0101,0110,0111
61|2400,4800,9600,19200
65|PV,SV,Out1
68|OFF,ON
70|Zero,PV
72|To RT8,To RT7,To RT6,To RT5,To RT4,To RT3,To RT2,To RT1,End,Hold,Next
)";

std::vector<std::string> split(const std::string &s, char sep)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, sep))
        parts.push_back(part);
    if (!s.empty() && s.back() == sep)
        parts.emplace_back();
    return parts;
}

std::vector<std::vector<std::string>> rows(const char *text)
{
    std::vector<std::vector<std::string>> out;
    for (const std::string &line : split(text, '\n'))
        if (!line.empty())
            out.push_back(split(line, '|'));
    return out;
}

std::string controlName(ControlKind c, bool listOnly)
{
    switch (c) {
    case ControlKind::TextBox: return "text";
    case ControlKind::ComboBox: return listOnly ? "list" : "combo";
    case ControlKind::None: return "none";
    }
    return "?";
}

std::string pageName(Page p)
{
    static const std::map<Page, std::string> names{
        {Page::LeftColumn, "left"}, {Page::User, "User"},       {Page::PID, "PID"},
        {Page::Option, "Option"},   {Page::Output, "Output"},   {Page::Program, "Program"},
        {Page::Aux, "Aux"}};
    return names.at(p);
}

std::string kindName(const RegisterInfo &r)
{
    switch (r.kind) {
    case ValueKind::Unsigned: return "Unsigned";
    case ValueKind::Signed: return "Signed";
    case ValueKind::Tenths: return "Tenths";
    case ValueKind::Scaled: return "Scaled";
    case ValueKind::Time32: return "Time32";
    case ValueKind::Hex16: return "Hex16";
    case ValueKind::Choice:
        if (!r.enumeration)
            return "Choice without enumeration";
        return "Choice " + std::to_string(r.enumeration->firstCode) + ".." +
               std::to_string(r.enumeration->lastCode());
    }
    return "?";
}

void expectMatches(const RegisterInfo &r, const std::vector<std::string> &e)
{
    ASSERT_EQ(e.size(), 7u);
    SCOPED_TRACE("address " + e[0]);
    EXPECT_EQ(r.address, std::stoi(e[0]));
    EXPECT_EQ(std::string(r.mnemonic), e[1]);
    EXPECT_EQ(controlName(r.control, r.listOnly), e[2]);
    EXPECT_EQ(std::string(r.frame), e[3]);
    EXPECT_EQ(pageName(r.page), e[4]);
    EXPECT_EQ(kindName(r), e[5]);
    EXPECT_EQ(std::string(r.initialText), e[6]);
    // Exactly the list-only combo boxes start with nothing selected.
    EXPECT_EQ(r.noInitialText, e[2] == "list");
    EXPECT_EQ(r.enumeration != nullptr, r.kind == ValueKind::Choice);
}

} // namespace

TEST(RegisterMap, EveryAddressMatchesTheDocumentedMap)
{
    const auto holding = rows(ExpectedHolding);
    ASSERT_EQ(holding.size(), size_t(HoldingRegisterCount));
    ASSERT_EQ(holdingRegisters().size(), holding.size());
    for (size_t i = 0; i < holding.size(); ++i) {
        expectMatches(holdingRegisters()[i], holding[i]);
        const RegisterInfo *found = findRegister(int(i));
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found, &holdingRegisters()[i]);
    }

    const auto input = rows(ExpectedInput);
    ASSERT_EQ(input.size(), size_t(InputRegisterCount));
    ASSERT_EQ(inputRegisters().size(), input.size());
    for (size_t i = 0; i < input.size(); ++i) {
        expectMatches(inputRegisters()[i], input[i]);
        EXPECT_EQ(findRegister(InputRegisterBase + int(i)), &inputRegisters()[i]);
    }
}

TEST(RegisterMap, NamedAddressesAreTheRegistersOfThoseMnemonics)
{
    const std::pair<int, const char *> named[] = {
        {reg::SV, "SV"}, {reg::RAMP, "RAMP"}, {reg::A1SP, "A1SP"}, {reg::A1HY, "A1HY"}, {reg::A1FU, "A1FU"},
        {reg::A1MD, "A1MD"}, {reg::A1DT, "A1DT"}, {reg::A2SP, "A2SP"}, {reg::A2HY, "A2HY"}, {reg::A2FU, "A2FU"},
        {reg::A2MD, "A2MD"}, {reg::A2DT, "A2DT"}, {reg::OUTL, "OUTL"}, {reg::RUN, "RUN"}, {reg::ACT, "ACT"},
        {reg::PB1, "PB1"}, {reg::TI1, "TI1"}, {reg::TD1, "TD1"}, {reg::MR1, "MR1"}, {reg::AR1, "AR1"},
        {reg::TYPE, "TYPE"}, {reg::SCAL, "SCAL"}, {reg::SCAH, "SCAH"}, {reg::CUT, "CUT"}, {reg::UNIT, "UNIT"},
        {reg::DP, "DP"}, {reg::LOLT, "LOLT"}, {reg::HILT, "HILT"}, {reg::PTME, "PTME"}, {reg::EROP, "EROP"},
        {reg::SVOF, "SVOF"}, {reg::PVOF, "PVOF"}, {reg::FILT, "FILT"}, {reg::BAUD, "BAUD"}, {reg::ID, "ID"},
        {reg::CT, "CT"}, {reg::FUNCTION, "Function"}, {reg::CH, "CH"}, {reg::CL, "CL"},
        {reg::MBACKUP, "M.Basckup"}, {reg::START_AT, "Start at"}, {reg::BAND, "Band"}, {reg::SEGMENT1, "RT1"},
        {reg::HYSM, "HYSM"}, {reg::OUCH, "OUCH"}, {reg::OUCL, "OUCL"}, {reg::PV_IN, "PvPvof"},
        {reg::SV_IN, "SvSvof"}, {reg::OUT_IN, "Outl"}, {reg::STATUS_IN, "WkErNo"}, {reg::RAMP_T, "Ramp_T"},
        {reg::ALM1_T, "Alm1_T"}, {reg::ALM2_T, "Alm2_T"}, {reg::PID_TERMS, "SV0"}, {reg::LEVEL, "Level"},
        {reg::AD0, "A/D 0"}, {reg::AD1, "A/D 1"},
    };
    for (const auto &[address, mnemonic] : named) {
        const RegisterInfo *r = findRegister(address);
        ASSERT_NE(r, nullptr) << mnemonic;
        EXPECT_EQ(std::string(r->mnemonic), mnemonic) << address;
    }
    // The jump counts, and nothing else, end a program segment.
    int jumps = 0;
    for (const RegisterInfo &r : holdingRegisters()) {
        const bool jump = std::string_view(r.mnemonic).starts_with("JP");
        EXPECT_EQ(reg::isJumpCount(r.address), jump) << r.address;
        jumps += jump;
    }
    EXPECT_EQ(jumps, reg::SEGMENTS);
}

TEST(RegisterMap, UnusedAddressesAreNotFound)
{
    for (int a : {-1, 109, 110, 4095, 4126, 65535})
        EXPECT_EQ(findRegister(a), nullptr) << a;
}

TEST(RegisterMap, EnumerationItemsAreExactlyTheControllersTexts)
{
    const auto expected = rows(ExpectedEnumerations);
    const auto actual = enumerations();
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("enumeration from " + expected[i][0]);
        EXPECT_EQ(actual[i]->firstCode, std::stoi(expected[i][0]));
        const auto items = split(expected[i][1], ',');
        ASSERT_EQ(actual[i]->items.size(), items.size());
        for (size_t k = 0; k < items.size(); ++k)
            EXPECT_EQ(std::string(actual[i]->items[k]), items[k]);
    }
    // The two spellings that look like typos are the controller's own.
    EXPECT_EQ(findRegister(15)->enumeration->items[2], "AT2 ");
    EXPECT_EQ(findRegister(59)->mnemonic, "M.Basckup");
}

TEST(RegisterMap, ChoiceCodesCoverZeroTo82WithoutGapsOrOverlaps)
{
    int next = 0;
    for (const Enumeration *e : enumerations()) {
        EXPECT_EQ(e->firstCode, next);
        EXPECT_FALSE(e->items.empty());
        next = e->lastCode() + 1;
    }
    EXPECT_EQ(next, 83);

    // Every Choice register uses one of these enumerations, and pairs share theirs.
    for (const RegisterInfo &r : holdingRegisters()) {
        if (r.kind != ValueKind::Choice)
            continue;
        bool known = false;
        for (const Enumeration *e : enumerations())
            known = known || e == r.enumeration;
        EXPECT_TRUE(known) << r.address;
    }
    EXPECT_EQ(findRegister(6)->enumeration, findRegister(11)->enumeration);
    EXPECT_EQ(findRegister(7)->enumeration, findRegister(12)->enumeration);
    for (int sf = 70; sf <= 100; sf += 5)
        EXPECT_EQ(findRegister(sf)->enumeration, findRegister(65)->enumeration);
}

TEST(RegisterMap, EditableComboBoxesStartOnOneOfTheirItems)
{
    for (const RegisterInfo &r : holdingRegisters()) {
        if (r.control != ControlKind::ComboBox || r.noInitialText)
            continue;
        bool isItem = false;
        for (std::string_view item : r.enumeration->items)
            isItem = isItem || item == r.initialText;
        EXPECT_TRUE(isItem) << r.address;
    }
}
