#pragma once

#include "link/frames.h"
#include "model/register_map.h"

#include <QByteArray>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <span>
#include <vector>

namespace orbalis::test {

// Frames as bytes, built the way a controller or the console builds them:
// every one ends with a valid CRC.

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

inline QByteArray frameBytes(const std::array<std::uint8_t, 8> &frame)
{
    return QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
}

// A request: id, function, two 16-bit fields high byte first, CRC.
inline QByteArray requestFrame(int id, int function, int field1, int field2)
{
    return withCrc(bytes({id, function, (field1 >> 8) & 0xFF, field1 & 0xFF, (field2 >> 8) & 0xFF,
                           field2 & 0xFF}));
}

// The read request the console sends: function 3 below 4096, 4 from 4096 up.
inline QByteArray readRequest(int id, int address, int count)
{
    return requestFrame(id, address < InputRegisterBase ? 3 : 4, address, count);
}

inline QByteArray liveRequest(int id) { return readRequest(id, InputRegisterBase, InputRegisterCount); }

inline QByteArray writeRequest(int id, int address, int value) { return requestFrame(id, 6, address, value); }

// A read reply: id, function, byte count, the registers high byte first, CRC.
inline QByteArray readReply(int id, int function, std::span<const std::uint16_t> registers)
{
    QByteArray r = bytes({id, function, int(2 * registers.size())});
    for (std::uint16_t v : registers)
        r.append(char(v >> 8)).append(char(v & 0xFF));
    return withCrc(r);
}

inline QByteArray readReply(int id, int function, std::initializer_list<std::uint16_t> registers)
{
    return readReply(id, function, std::span<const std::uint16_t>(registers.begin(), registers.size()));
}

// A reply of `count` registers, register k holding first + k.
inline QByteArray countingReply(int id, int function, int count, int first = 0)
{
    std::vector<std::uint16_t> registers;
    for (int k = 0; k < count; ++k)
        registers.push_back(std::uint16_t(first + k));
    return readReply(id, function, registers);
}

// A reply to a read of `count` registers from `firstAddress`, register a
// holding values[a] where given, else 0.
inline QByteArray blockReply(int id, int firstAddress, int count, const std::map<int, std::uint16_t> &values)
{
    std::vector<std::uint16_t> registers(std::size_t(count), 0);
    for (auto [address, value] : values)
        registers.at(std::size_t(address - firstAddress)) = value;
    return readReply(id, firstAddress < InputRegisterBase ? 3 : 4, registers);
}

// The reply to the read of all 109 parameters.
inline QByteArray readAllReply(int id, const std::map<int, std::uint16_t> &values = {})
{
    return blockReply(id, 0, HoldingRegisterCount, values);
}

// The reply to the live-value read (30 registers from 4096).
inline QByteArray liveReply(int id, const std::map<int, std::uint16_t> &values = {})
{
    return blockReply(id, InputRegisterBase, InputRegisterCount, values);
}

// A refusal: the function with bit 7 set and the exception code.
inline QByteArray exceptionReply(int id, int function, int code)
{
    return withCrc(bytes({id, function | 0x80, code}));
}

// The address and the value (or count) fields of a request.
inline int requestAddress(const QByteArray &request)
{
    return quint8(request[2]) << 8 | quint8(request[3]);
}

inline int requestValue(const QByteArray &request)
{
    return quint8(request[4]) << 8 | quint8(request[5]);
}

} // namespace orbalis::test
