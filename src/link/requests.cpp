#include "frames.h"

namespace orbalis {

namespace {

constexpr std::uint8_t ReadHoldingRegisters = 3;
constexpr std::uint8_t ReadInputRegisters = 4;
constexpr std::uint8_t WriteSingleRegister = 6;
// Settings live below this address, live values from it up.
constexpr std::int16_t FirstInputRegister = 4096;

bool fitsSixteenBits(std::int32_t v)
{
    return v >= 0 && v <= 0xFFFF;
}

// The common body of both requests: flush, build, send. Nothing escapes.
bool sendRequest(SerialPort &port, LineBuffers &line, std::uint8_t id, std::uint8_t function,
                  std::int32_t field1, std::int32_t field2) noexcept
{
    try {
        // Emptied even when the flush fails, so that an old reply never
        // outlives a request that did not go out.
        line.Reply_Buffer.clear();
        line.requestSent = false;
        // A late reply to an earlier request must never pass for this one's.
        (void)port.Input();
        const auto frame = buildRequest(id, function, field1, field2);
        if (!frame)
            return false;
        line.Request_Frame = *frame;
        port.Output(requestBytes(line));
        line.requestSent = true;
        return true;
    } catch (...) {
        // Dropped: the caller's next reply check finds no reply.
        return false;
    }
}

} // namespace

std::optional<std::array<std::uint8_t, 8>> buildRequest(std::uint8_t id, std::uint8_t function,
                                                        std::int32_t field1, std::int32_t field2)
{
    if (!fitsSixteenBits(field1) || !fitsSixteenBits(field2))
        return std::nullopt;
    std::array<std::uint8_t, 8> frame{
        id,
        function,
        std::uint8_t(field1 / 256),
        std::uint8_t(field1 % 256),
        std::uint8_t(field2 / 256),
        std::uint8_t(field2 % 256),
        0,
        0,
    };
    const std::uint16_t crc = Crc16(frame.data(), 6);
    frame[6] = std::uint8_t(crc & 0xFF);
    frame[7] = std::uint8_t(crc >> 8);
    return frame;
}

bool Send_Read_Request(SerialPort &port, LineBuffers &line, std::uint8_t id, std::int16_t address,
                       std::int32_t count) noexcept
{
    const std::uint8_t function = address < FirstInputRegister ? ReadHoldingRegisters : ReadInputRegisters;
    return sendRequest(port, line, id, function, address, count);
}

bool Send_Write_Request(SerialPort &port, LineBuffers &line, std::uint8_t id, std::int16_t address,
                        std::int32_t value) noexcept
{
    return sendRequest(port, line, id, WriteSingleRegister, address, value);
}

QByteArray requestBytes(const LineBuffers &line)
{
    return QByteArray(reinterpret_cast<const char *>(line.Request_Frame.data()),
                      qsizetype(line.Request_Frame.size()));
}

} // namespace orbalis
