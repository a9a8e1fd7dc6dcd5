#pragma once

#include "link/frames.h"

#include <QByteArray>
#include <cstdint>
#include <initializer_list>
#include <span>

namespace orbalis::test {

// A read reply with a valid CRC: id, function, byte count, the registers
// high byte first.
inline QByteArray Read_Reply(int id, int function, std::span<const std::uint16_t> registers)
{
    QByteArray r;
    r.append(char(id)).append(char(function)).append(char(2 * registers.size()));
    for (std::uint16_t v : registers)
        r.append(char(v >> 8)).append(char(v & 0xFF));
    return With_Crc(r);
}

inline QByteArray Read_Reply(int id, int function, std::initializer_list<std::uint16_t> registers)
{
    return Read_Reply(id, function, std::span<const std::uint16_t>(registers.begin(), registers.size()));
}

} // namespace orbalis::test
