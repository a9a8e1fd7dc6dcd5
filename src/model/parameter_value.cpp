#include "parameter_value.h"

#include "register_map.h"

#include "base/leading_number.h"

namespace orbalis {

namespace {

constexpr std::int32_t RegisterMax = 65535;
constexpr std::int32_t RegisterSpan = 65536;

// Decimal places the register value carries beyond the shown number.
int decimalsFor(ValueKind kind, std::int32_t dpCode)
{
    switch (kind) {
    case ValueKind::Tenths: return 1;
    case ValueKind::Scaled:
        switch (dpCode) {
        case 48: return 1;
        case 49: return 2;
        case 50: return 3;
        default: return 0;
        }
    default: return 0;
    }
}

ParameterValue failed(ParameterValue::Status status, std::int32_t value, const char *problem)
{
    return {status, value, QString::fromLatin1(problem)};
}

ParameterValue fromChoice(const RegisterInfo &r, const ParameterSource &controls)
{
    const int index = controls.selectedIndex(r.address);
    if (index < 0)
        return failed(ParameterValue::NothingSelected, 0, "Nothing selected !");
    const std::int32_t code = r.enumeration->firstCode + index;
    // An index past the list would name a neighbouring enumeration's item.
    if (code > r.enumeration->lastCode())
        return failed(ParameterValue::OutOfRange, code, "Value out of range !");
    return {ParameterValue::Ok, code, {}};
}

ParameterValue fromText(const RegisterInfo &r, const ParameterSource &controls, std::int32_t dpCode)
{
    const std::optional<std::int32_t> rounded =
        scaledLeadingNumber(controls.text(r.address), decimalsFor(r.kind, dpCode));
    if (!rounded)
        return failed(ParameterValue::OutOfRange, 0, "Value out of range !");
    std::int32_t value = *rounded;
    if (value < 0)
        value += RegisterSpan;   // the 16-bit two's-complement pattern
    // Below -65536 the correction still leaves a negative number: not a register value.
    if (value < 0 || value > RegisterMax)
        return failed(ParameterValue::OutOfRange, value, "Value out of range !");
    return {ParameterValue::Ok, value, {}};
}

} // namespace

ParameterValue Get_Parameter_Value(int address, const ParameterSource &controls, std::int32_t dpCode)
{
    if (address < 0 || address >= HoldingRegisterCount)
        return failed(ParameterValue::NotAParameter, 0, "Not a parameter !");
    const RegisterInfo &r = *findRegister(address);
    if (r.kind == ValueKind::Choice)
        return fromChoice(r, controls);
    return fromText(r, controls, dpCode);
}

} // namespace orbalis
