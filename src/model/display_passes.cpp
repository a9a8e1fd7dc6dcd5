#include "display.h"

#include "register_addresses.h"
#include "register_map.h"
#include "reply_registers.h"

#include "link/exception_texts.h"

namespace orbalis {

namespace {

constexpr std::uint8_t ReadHoldingFunction = 3;
constexpr std::uint8_t ExceptionBit = 0x80;
constexpr int ReadBackLength = 7;      // id, function, count, one register, CRC
constexpr int ExceptionLength = 5;     // id, function | 0x80, code, CRC

enum class SignedJumps { AsSigned, AsUnsigned };

// One register (or, for Time32, the pair ending at the address) through the
// display routine of its kind. Low halves of a Time32 have no control.
void showRegister(const QByteArray &reply, const RegisterInfo &r, int hi, int dpCode,
                  SignedJumps jumps, const DisplayTargets &t)
{
    const int lo = hi + 1;
    switch (r.kind) {
    case ValueKind::Unsigned:
        Show_Unsigned_Value(reply, hi, lo, r.address, t);
        break;
    case ValueKind::Signed:
        if (jumps == SignedJumps::AsUnsigned && reg::isJumpCount(r.address))
            Show_Unsigned_Value(reply, hi, lo, r.address, t);
        else
            Show_Signed_Value(reply, hi, lo, r.address, t);
        break;
    case ValueKind::Tenths:
        Show_Tenths_Value(reply, hi, lo, r.address, t);
        break;
    case ValueKind::Scaled:
        Show_Scaled_Value(reply, hi, lo, r.address, dpCode, t);
        break;
    case ValueKind::Choice:
        Show_Choice_Value(reply, hi, lo, r.enumeration->lastCode(), r.enumeration->firstCode,
                          r.address, t);
        break;
    case ValueKind::Time32:
        if (r.control != ControlKind::None)
            Show_Time_Value(reply, hi - 2, r.address, t);
        break;
    case ValueKind::Hex16:
        Show_Hex_Value(reply, hi, lo, r.address, t);
        break;
    }
}

// Why a reply to a one-register read cannot be decoded; empty when it can.
QString readBackProblem(const QByteArray &reply)
{
    const QString wrongLength = QStringLiteral(" Wrong reply length !");
    if (reply.size() < 2)
        return wrongLength;
    const std::uint8_t function = std::uint8_t(reply[1]);
    if (function & ExceptionBit)
        return reply.size() == ExceptionLength ? exceptionReplyText(std::uint8_t(reply[2])) : wrongLength;
    if (function != ReadHoldingFunction)
        return QStringLiteral(" Wrong function code !");
    if (reply.size() != ReadBackLength || reply[2] != 2)
        return wrongLength;
    return {};
}

} // namespace

void Show_All_Parameters(const QByteArray &reply, std::int32_t &dpCode, const DisplayTargets &t)
{
    const int dpAt = registerPosition(reg::DP, 0);
    const int code = replyRegister(reply, dpAt, dpAt + 1);
    dpCode = (code < 47 || code > 50) ? 47 : code;
    for (const RegisterInfo &r : holdingRegisters())
        showRegister(reply, r, registerPosition(r.address, 0), dpCode, SignedJumps::AsSigned, t);
}

QString Show_Read_Back(const QByteArray &reply, int address, std::int32_t dpCode,
                       const DisplayTargets &t)
{
    if (address < 0 || address >= HoldingRegisterCount)
        return QStringLiteral(" Not a parameter !");
    const QString problem = readBackProblem(reply);
    if (!problem.isEmpty())
        return problem;
    showRegister(reply, *findRegister(address), registerPosition(0, 0), dpCode,
                 SignedJumps::AsUnsigned, t);
    return {};
}

void showLiveValues(const QByteArray &reply, std::int32_t dpCode, const DisplayTargets &t)
{
    for (const RegisterInfo &r : inputRegisters())
        showRegister(reply, r, registerPosition(r.address, InputRegisterBase), dpCode,
                     SignedJumps::AsSigned, t);
}

} // namespace orbalis
