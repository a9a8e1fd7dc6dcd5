#include "register_map.h"

#include <array>

namespace orbalis {

namespace {

// The one code space of all enumerated parameters, 0..82, in ascending ranges.
struct Enumerations {
    Enumeration alarmFunction{0, {"A_OFF", "A_HI", "A_LO", "A_DIFH", "A_DIFL", "A_BDHI", "A_BDLO",
                                  "B_HI", "B_LO", "B_DIFH", "B_DIFL", "B_BDHI", "B_BDLO"}};
    Enumeration alarmMode{13, {"NONE", "STDY", "LATH", "STLA"}};
    // "AT2 " keeps its trailing blank: the controller's own item text.
    Enumeration run{17, {"OFF", "AT1", "AT2 ", "HAND", "ON", "PROG", "HOLD"}};
    Enumeration action{24, {"REV", "DIR"}};
    Enumeration inputType{26, {"TC_J", "TC_K", "TC_T", "TC_E", "TC_B", "TC_R", "TC_S", "TC_N",
                               "TC_C", "PT_DPT", "PT_JPT", "LINEAR_mA", "LINEAR_mV", "LINEAR_V"}};
    Enumeration cut{40, {"None", "Lo", "Hi", "HiLo"}};
    Enumeration unit{44, {"oC", "oF", "Eng"}};
    Enumeration decimalPoint{47, {"0000.", "000.0", "00.00", "0.000"}};
    Enumeration timeUnit{51, {"MM:SS", "HH:MM"}};
    Enumeration errorOutput{53, {"0000", "0001", "0010", "0011", "0100", "0101", "0110", "0111"}};
    Enumeration baud{61, {"2400", "4800", "9600", "19200"}};
    Enumeration outputFunction{65, {"PV", "SV", "Out1"}};
    Enumeration memoryBackup{68, {"OFF", "ON"}};
    Enumeration startAt{70, {"Zero", "PV"}};
    Enumeration segmentEnd{72, {"To RT8", "To RT7", "To RT6", "To RT5", "To RT4", "To RT3",
                                "To RT2", "To RT1", "End", "Hold", "Next"}};

    std::array<const Enumeration *, 15> ascending{
        &alarmFunction, &alarmMode, &run,  &action,         &inputType,
        &cut,           &unit,      &decimalPoint, &timeUnit, &errorOutput,
        &baud,          &outputFunction, &memoryBackup, &startAt, &segmentEnd};
};

using VK = ValueKind;

RegisterInfo textBox(int address, std::string_view mnemonic, std::string_view frame, Page page,
                     ValueKind kind, std::string_view initialText)
{
    return {address, mnemonic, ControlKind::TextBox, frame, page, kind, nullptr, initialText,
            false, false};
}

// An editable combo box that starts on one of its items.
RegisterInfo comboBox(int address, std::string_view mnemonic, std::string_view frame, Page page,
                      const Enumeration &e, std::string_view initialText)
{
    return {address, mnemonic, ControlKind::ComboBox, frame, page, VK::Choice, &e, initialText,
            false, false};
}

// A list-only combo box; these start with nothing selected.
RegisterInfo listBox(int address, std::string_view mnemonic, std::string_view frame, Page page,
                     const Enumeration &e)
{
    return {address, mnemonic, ControlKind::ComboBox, frame, page, VK::Choice, &e, {}, true, true};
}

RegisterInfo liveBox(int address, std::string_view mnemonic, std::string_view frame, ValueKind kind,
                     std::string_view initialText = "0")
{
    return {address, mnemonic, ControlKind::TextBox, frame, Page::Aux, kind, nullptr, initialText,
            false, false};
}

// Low half of a Time32: its value is shown under the next address.
RegisterInfo timeLowHalf(int address, std::string_view mnemonic)
{
    return {address, mnemonic, ControlKind::None, "Read-Only", Page::Aux, VK::Time32, nullptr, "0",
            false, false};
}

struct Tables {
    Enumerations e;
    std::vector<RegisterInfo> holding;
    std::vector<RegisterInfo> input;

    Tables();
    Tables(const Tables &) = delete;   // rows point into `e`
};

Tables::Tables()
{
    constexpr Page L = Page::LeftColumn, U = Page::User, P = Page::PID, O = Page::Option,
                   Out = Page::Output, Pr = Page::Program;
    holding = {
        textBox(0, "SV", "Control Settings", L, VK::Scaled, "0.0"),
        textBox(1, "RAMP", "Ramp", U, VK::Scaled, "0.0"),
        textBox(2, "SOFT", "Soft-start", U, VK::Tenths, "0.0"),
        textBox(3, "SSV", "Soft-start", U, VK::Scaled, "0.00"),
        textBox(4, "A1SP", "Alarm 1", U, VK::Scaled, "0"),
        textBox(5, "A1HY", "Alarm 1", U, VK::Scaled, "0.00"),
        comboBox(6, "A1FU", "Alarm 1", U, e.alarmFunction, "A_OFF"),
        comboBox(7, "A1MD", "Alarm 1", U, e.alarmMode, "NONE"),
        textBox(8, "A1DT", "Alarm 1", U, VK::Unsigned, "00:00"),
        textBox(9, "A2SP", "Alarm 2", U, VK::Scaled, "0.00"),
        textBox(10, "A2HY", "Alarm 2", U, VK::Scaled, "0.00"),
        comboBox(11, "A2FU", "Alarm 2", U, e.alarmFunction, "A_OFF"),
        comboBox(12, "A2MD", "Alarm 2", U, e.alarmMode, "NONE"),
        textBox(13, "A2DT", "Alarm 2", U, VK::Unsigned, "00:00"),
        textBox(14, "OUTL", "Control Settings", L, VK::Tenths, "0"),
        listBox(15, "RUN", "Control Settings", L, e.run),
        comboBox(16, "ACT", "Control Action", U, e.action, "REV"),
        textBox(17, "PB1", "1st P.I.D", P, VK::Tenths, "0.0"),
        textBox(18, "TI1", "1st P.I.D", P, VK::Tenths, "0.0"),
        textBox(19, "TD1", "1st P.I.D", P, VK::Tenths, "0.0"),
        textBox(20, "MR1", "1st P.I.D", P, VK::Tenths, "0.0"),
        textBox(21, "AR1", "1st P.I.D", P, VK::Tenths, "0.0"),
        textBox(22, "ASP1", "1st P.I.D", P, VK::Scaled, "0.0"),
        textBox(23, "PB2", "2nd P.I.D", P, VK::Tenths, "0.0"),
        textBox(24, "TI2", "2nd P.I.D", P, VK::Tenths, "0.0"),
        textBox(25, "TD2", "2nd P.I.D", P, VK::Tenths, "0.0"),
        textBox(26, "MR2", "2nd P.I.D", P, VK::Tenths, "0.0"),
        textBox(27, "AR2", "2nd P.I.D", P, VK::Tenths, "0.0"),
        textBox(28, "ASP2", "2nd P.I.D", P, VK::Scaled, "0.0"),
        textBox(29, "PB3", "3rd P.I.D", P, VK::Tenths, "0.0"),
        textBox(30, "TI3", "3rd P.I.D", P, VK::Tenths, "0.0"),
        textBox(31, "TD3", "3rd P.I.D", P, VK::Tenths, "0.0"),
        textBox(32, "MR3", "3rd P.I.D", P, VK::Tenths, "0.0"),
        textBox(33, "AR3", "3rd P.I.D", P, VK::Tenths, "0.0"),
        textBox(34, "ASP3", "3rd P.I.D", P, VK::Scaled, "0.0"),
        textBox(35, "PB4", "4th P.I.D", P, VK::Tenths, "0.0"),
        textBox(36, "TI4", "4th P.I.D", P, VK::Tenths, "0.0"),
        textBox(37, "TD4", "4th P.I.D", P, VK::Tenths, "0.0"),
        textBox(38, "MR4", "4th P.I.D", P, VK::Tenths, "0.0"),
        textBox(39, "AR4", "4th P.I.D", P, VK::Tenths, "0.0"),
        listBox(40, "TYPE", "Input Type", O, e.inputType),
        textBox(41, "SCAL", "Scal of Linear I/P", O, VK::Scaled, "0"),
        textBox(42, "SCAH", "Scal of Linear I/P", O, VK::Scaled, "0"),
        comboBox(43, "CUT", "Scal of Linear I/P", O, e.cut, "None"),
        comboBox(44, "UNIT", "Measurement Unit", O, e.unit, "oC"),
        comboBox(45, "DP", "Measurement Unit", O, e.decimalPoint, "0000."),
        textBox(46, "LOLT", "Measurement range", O, VK::Scaled, "0"),
        textBox(47, "HILT", "Measurement range", O, VK::Scaled, "0"),
        listBox(48, "PTME", "Time unit", O, e.timeUnit),
        comboBox(49, "EROP", "corresponding error", O, e.errorOutput, "0000"),
        textBox(50, "SVOF", "Offset Adjustment", O, VK::Scaled, "0"),
        textBox(51, "PVOF", "Offset Adjustment", O, VK::Scaled, "0"),
        textBox(52, "FILT", "Filter settings", O, VK::Tenths, "0"),
        comboBox(53, "BAUD", "Communication settings", O, e.baud, "19200"),
        textBox(54, "ID", "Communication settings", O, VK::Signed, "1"),
        textBox(55, "CT", "Output Settings", Out, VK::Signed, "0"),
        comboBox(56, "Function", "Output Settings", Out, e.outputFunction, "PV"),
        textBox(57, "CH", "Output Settings", Out, VK::Signed, "00000"),
        textBox(58, "CL", "Output Settings", Out, VK::Signed, "00000"),
        comboBox(59, "M.Basckup", "Program Setting", Pr, e.memoryBackup, "OFF"),
        comboBox(60, "Start at", "Program Setting", Pr, e.startAt, "PV"),
        textBox(61, "Band", "Program Setting", Pr, VK::Scaled, "0.0"),
    };
    // Eight program segments of five registers each, 62..101.
    static constexpr std::array<std::string_view, 8> segFrame{"Seg 1", "Seg 2", "Seg 3", "Seg 4",
                                                              "Seg 5", "Seg 6", "Seg 7", "Seg 8"};
    static constexpr std::array<std::array<std::string_view, 5>, 8> segNames{{
        {"RT1", "SP1", "ST1", "SF1", "JP1"}, {"RT2", "SP2", "ST2", "SF2", "JP2"},
        {"RT3", "SP3", "ST3", "SF3", "JP3"}, {"RT4", "SP4", "ST4", "SF4", "JP4"},
        {"RT5", "SP5", "ST5", "SF5", "JP5"}, {"RT6", "SP6", "ST6", "SF6", "JP6"},
        {"RT7", "SP7", "ST7", "SF7", "JP7"}, {"RT8", "SP8", "ST8", "SF8", "JP8"},
    }};
    for (int s = 0; s < 8; ++s) {
        const int a = 62 + 5 * s;
        const auto &n = segNames[size_t(s)];
        const std::string_view f = segFrame[size_t(s)];
        holding.push_back(textBox(a, n[0], f, Pr, VK::Unsigned, "60"));
        holding.push_back(textBox(a + 1, n[1], f, Pr, VK::Scaled, "20.0"));
        holding.push_back(textBox(a + 2, n[2], f, Pr, VK::Unsigned, "60"));
        holding.push_back(listBox(a + 3, n[3], f, Pr, e.segmentEnd));
        holding.push_back(textBox(a + 4, n[4], f, Pr, VK::Signed, "0"));
    }
    holding.insert(holding.end(), {
        textBox(102, "HYSM", "Output Settings", Out, VK::Scaled, "0"),
        textBox(103, "OUCH", "Output Settings", Out, VK::Tenths, "0"),
        textBox(104, "OUCL", "Output Settings", Out, VK::Tenths, "0"),
        textBox(105, "PVOH", "Offset Adjustment", O, VK::Scaled, "0"),
        textBox(106, "PVHA", "Offset Adjustment", O, VK::Scaled, "0"),
        textBox(107, "PVOL", "Offset Adjustment", O, VK::Scaled, "0"),
        textBox(108, "PVLA", "Offset Adjustment", O, VK::Scaled, "0"),
    });

    input = {
        liveBox(4096, "PvPvof", "Read-Only", VK::Scaled),
        liveBox(4097, "SvSvof", "Read-Only", VK::Scaled),
        liveBox(4098, "Outl", "Read-Only", VK::Tenths),
        liveBox(4099, "WkErNo", "Read-Only", VK::Hex16),
        timeLowHalf(4100, "Ramp_T"),
        liveBox(4101, "Ramp_T", "Read-Only", VK::Time32),
        timeLowHalf(4102, "Alm1_T"),
        liveBox(4103, "Alm1_T", "Read-Only", VK::Time32),
        timeLowHalf(4104, "Alm2_T"),
        liveBox(4105, "Alm2_T", "Read-Only", VK::Time32),
        liveBox(4106, "SV0", "P.I.D Input", VK::Tenths),
        liveBox(4107, "PV0", "P.I.D Input", VK::Tenths),
        liveBox(4108, "PV1", "P.I.D Input", VK::Tenths),
        liveBox(4109, "PV2", "P.I.D Input", VK::Tenths),
        liveBox(4110, "Et0", "P.I.D Input", VK::Tenths),
        liveBox(4111, "Et1", "P.I.D Input", VK::Tenths),
        liveBox(4112, "Et2", "P.I.D Input", VK::Tenths),
        liveBox(4113, "Px", "P.I.D Factor", VK::Tenths),
        liveBox(4114, "Ix", "P.I.D Factor", VK::Signed),
        liveBox(4115, "Dx", "P.I.D Factor", VK::Signed),
        liveBox(4116, "Mrx", "P.I.D Factor", VK::Tenths),
        liveBox(4117, "Arx", "P.I.D Factor", VK::Tenths),
        liveBox(4118, "Pout", "P.I.D Output", VK::Tenths),
        liveBox(4119, "Iout", "P.I.D Output", VK::Tenths),
        liveBox(4120, "Dout", "P.I.D Output", VK::Tenths),
        liveBox(4121, "Pband", "P.I.D Output", VK::Tenths),
        liveBox(4122, "Arw", "P.I.D Output", VK::Tenths),
        liveBox(4123, "Level", "P.I.D Output", VK::Hex16),
        liveBox(4124, "A/D 0", "A/D", VK::Signed, "65536"),
        liveBox(4125, "A/D 1", "A/D", VK::Signed, "65536"),
    };
}

// Built on first use, so callers from other static initialisers are safe.
const Tables &tables()
{
    static const Tables t;
    return t;
}

} // namespace

std::span<const RegisterInfo> holdingRegisters()
{
    return tables().holding;
}

std::span<const RegisterInfo> inputRegisters()
{
    return tables().input;
}

const RegisterInfo *findRegister(int address)
{
    const Tables &t = tables();
    if (address >= 0 && address < HoldingRegisterCount)
        return &t.holding[size_t(address)];
    if (address >= InputRegisterBase && address < InputRegisterBase + InputRegisterCount)
        return &t.input[size_t(address - InputRegisterBase)];
    return nullptr;
}

std::span<const Enumeration *const> enumerations()
{
    return tables().e.ascending;
}

} // namespace orbalis
