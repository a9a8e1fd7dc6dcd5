#include "modbus_slave.h"

#include "link/frames.h"

namespace orbalis::sim {

namespace {

constexpr int MaxReadCount = 125;

int Field(const QByteArray &frame, int offset)
{
    return std::uint8_t(frame[offset]) << 8 | std::uint8_t(frame[offset + 1]);
}

QByteArray exceptionReply(std::uint8_t id, std::uint8_t function, std::uint8_t code)
{
    QByteArray r;
    r.append(char(id)).append(char(function | 0x80)).append(char(code));
    return withCrc(r);
}

template <typename Registers>
QByteArray readReply(std::uint8_t id, std::uint8_t function, const Registers &registers, int first,
                      int count)
{
    QByteArray r;
    r.append(char(id)).append(char(function)).append(char(2 * count));
    for (int i = first; i < first + count; ++i) {
        r.append(char(registers[std::size_t(i)] >> 8));
        r.append(char(registers[std::size_t(i)] & 0xFF));
    }
    return withCrc(r);
}

} // namespace

QByteArray controllerReply(ControllerModel &controller, const QByteArray &frame)
{
    const auto id = std::uint8_t(frame[0]);
    const auto function = std::uint8_t(frame[1]);
    if (function != 3 && function != 4 && function != 6)
        return exceptionReply(id, function, IllegalFunction);
    if (frame.size() != 8)
        return exceptionReply(id, function, IllegalValue);

    const int address = Field(frame, 2);
    const int field = Field(frame, 4);
    if (function == 6) {
        if (address >= HoldingCount || controller.refusesWritesTo(address))
            return exceptionReply(id, function, IllegalAddress);
        if (!controller.writeHolding(address, std::uint16_t(field)))
            return exceptionReply(id, function, IllegalValue);
        return frame;   // the echo
    }

    // Reads: the count is judged before the address, as the protocol orders it.
    const int count = field;
    if (count < 1 || count > MaxReadCount)
        return exceptionReply(id, function, IllegalValue);
    if (function == 3) {
        if (address + count > HoldingCount)
            return exceptionReply(id, function, IllegalAddress);
        return readReply(id, function, controller.holdingRegisters(), address, count);
    }
    if (address < InputBase || address + count > InputBase + InputCount)
        return exceptionReply(id, function, IllegalAddress);
    return readReply(id, function, controller.inputRegisters(), address - InputBase, count);
}

std::optional<SlaveAnswer> answerRequest(ControllerBank &bank, const QByteArray &frame, int lineBaud)
{
    if (frame.size() < 4 || !hasValidCrc(frame))
        return std::nullopt;
    const int id = std::uint8_t(frame[0]);
    if (id == 0)
        return std::nullopt;   // broadcast: nobody answers
    ControllerModel *controller = bank.answering(id, lineBaud);
    if (!controller)
        return std::nullopt;
    return SlaveAnswer{controllerReply(*controller, frame), controller};
}

} // namespace orbalis::sim
