#include "display.h"

#include "register_map.h"
#include "reply_registers.h"

namespace orbalis {

namespace {

std::uint16_t unsignedAt(const QByteArray &reply, int hi, int lo)
{
    return replyRegister(reply, hi, lo);
}

std::int16_t signedAt(const QByteArray &reply, int hi, int lo)
{
    return std::int16_t(replyRegister(reply, hi, lo));
}

// Holding registers go to the parameter window only; live values go to the
// main window's boxes, and to the parameter window while it shows the polled slot.
template <class Write>
void deliver(int address, const DisplayTargets &t, Write &&write)
{
    if (address < InputRegisterBase) {
        if (t.parameterWindow)
            write(*t.parameterWindow);
        return;
    }
    if (t.liveValues)
        write(*t.liveValues);
    if (t.parameterWindow && t.Poll_Slot == t.Para_Slot)
        write(*t.parameterWindow);
}

void deliverText(int address, const QString &text, const DisplayTargets &t)
{
    deliver(address, t, [&](ParameterSink &sink) { sink.setText(address, text); });
}

} // namespace

void Show_Unsigned_Value(const QByteArray &reply, int hi, int lo, int address, const DisplayTargets &t)
{
    deliverText(address, unsignedText(unsignedAt(reply, hi, lo)), t);
}

void Show_Signed_Value(const QByteArray &reply, int hi, int lo, int address, const DisplayTargets &t)
{
    deliverText(address, signedText(signedAt(reply, hi, lo)), t);
}

void Show_Tenths_Value(const QByteArray &reply, int hi, int lo, int address, const DisplayTargets &t)
{
    deliverText(address, tenthsText(signedAt(reply, hi, lo)), t);
}

void Show_Scaled_Value(const QByteArray &reply, int hi, int lo, int address, int dpCode,
                       const DisplayTargets &t)
{
    deliverText(address, scaledText(signedAt(reply, hi, lo), dpCode), t);
}

void Show_Time_Value(const QByteArray &reply, int p, int address, const DisplayTargets &t)
{
    // The register at the higher address carries the high half. Unsigned
    // 32-bit throughout, so counts of 2^31 and more show as they are.
    const std::uint32_t lowHalf = unsignedAt(reply, p, p + 1);
    const std::uint32_t highHalf = unsignedAt(reply, p + 2, p + 3);
    deliverText(address, timeText(highHalf << 16 | lowHalf), t);
}

void Show_Choice_Value(const QByteArray &reply, int hi, int lo, int highestCode, int lowestCode,
                       int address, const DisplayTargets &t)
{
    const int index = choiceIndex(unsignedAt(reply, hi, lo), lowestCode, highestCode);
    deliver(address, t, [&](ParameterSink &sink) { sink.selectItem(address, index); });
}

void Show_Hex_Value(const QByteArray &reply, int hi, int lo, int address, const DisplayTargets &t)
{
    deliverText(address, hexText(unsignedAt(reply, hi, lo)), t);
}

} // namespace orbalis
