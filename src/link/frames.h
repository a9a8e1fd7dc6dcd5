#pragma once

#include "line_buffers.h"
#include "serial_port.h"

#include <QByteArray>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace orbalis {

// CRC-16/MODBUS: reflected polynomial 0xA001, initial 0xFFFF, no final XOR.
std::uint16_t Crc16(const std::uint8_t *data, std::size_t size);
std::uint16_t Crc16(const QByteArray &bytes);
// Whether the last two bytes are the CRC (low byte first) of the bytes before them.
bool hasValidCrc(const QByteArray &frame);
// Appends the CRC of the bytes, low byte first.
QByteArray withCrc(QByteArray frame);

// The 8-byte request: id, function, two 16-bit fields high byte first, CRC.
// nullopt when a field lies outside 0..65535.
std::optional<std::array<std::uint8_t, 8>> buildRequest(std::uint8_t id, std::uint8_t function,
                                                        std::int32_t field1, std::int32_t field2);

// Both flush the line (take and drop what arrived, empty Reply_Buffer), build
// the request in Request_Frame and send it with one Output. Whatever cannot be
// built or sent is dropped silently: the next reply check finds no reply. The
// result says whether the request went out; the cycles need not look at it.
// Function 3 below address 4096, 4 from 4096 up.
bool Send_Read_Request(SerialPort &port, LineBuffers &line, std::uint8_t id, std::int16_t address,
                       std::int32_t count) noexcept;
// Function 6 whatever the address.
bool Send_Write_Request(SerialPort &port, LineBuffers &line, std::uint8_t id, std::int16_t address,
                        std::int32_t value) noexcept;
// Request_Frame as bytes.
QByteArray requestBytes(const LineBuffers &line);

enum class ReplyOutcome { Valid, CrcError, NoReply };

// Judges bytes on their CRC alone: fewer than 2 is no reply.
ReplyOutcome judgeReply(const QByteArray &reply);
// Takes all received bytes into Reply_Buffer and judges them. Port errors
// (8018 on a closed port, ...) propagate to the caller's trap.
ReplyOutcome Check_Reply(SerialPort &port, LineBuffers &line);

} // namespace orbalis
