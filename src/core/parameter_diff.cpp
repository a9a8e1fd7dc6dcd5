#include "parameter_diff.h"

#include "write_all_order.h"

#include "model/parameter_value.h"
#include "model/register_map.h"

#include <algorithm>

namespace orbalis {

namespace {

QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

} // namespace

QString parameterMnemonic(int address)
{
    const RegisterInfo *r = findRegister(address);
    return r ? latin1(r->mnemonic) : QString();
}

QString parameterLabel(int address)
{
    const RegisterInfo *r = findRegister(address);
    return r ? latin1(r->frame) : QString();
}

QString controllerTextOf(const ControllerParameters &controller, int address)
{
    const RegisterInfo *r = findRegister(address);
    const QString text = controller.text(address);
    if (!r || r->kind != ValueKind::Choice)
        return text;
    const int code = controller.value(address);
    if (code >= r->enumeration->firstCode && code <= r->enumeration->lastCode())
        return text;
    return text + QStringLiteral(" (code %1)").arg(code);
}

std::vector<ParameterDifference> compareParameters(const ControllerParameters &controller,
                                                   const QStringList &wanted)
{
    std::vector<ParameterDifference> differences;
    const ParameterTextsSource source(wanted);
    for (int a = 0; a < HoldingRegisterCount; ++a) {
        const ParameterValue v = Get_Parameter_Value(a, source, controller.dpCode());
        const std::uint16_t held = controller.value(a);
        if (v.status == ParameterValue::Ok && std::uint16_t(v.value) == held)
            continue;
        ParameterDifference d;
        d.address = a;
        d.controllerText = controllerTextOf(controller, a);
        d.wantedText = wanted.value(a).trimmed();
        d.controllerValue = held;
        if (v.status == ParameterValue::Ok)
            d.wantedValue = std::uint16_t(v.value);
        d.writable = inWriteAllOrder(a);
        differences.push_back(std::move(d));
    }
    return differences;
}

std::vector<int> addressesToWrite(const std::vector<ParameterDifference> &differences)
{
    std::vector<int> addresses;
    for (int a : writeAllOrder()) {
        const bool listed = std::any_of(differences.begin(), differences.end(),
                                        [a](const ParameterDifference &d) { return d.address == a; });
        if (listed)
            addresses.push_back(a);
    }
    return addresses;
}

} // namespace orbalis
