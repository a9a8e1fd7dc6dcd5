#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace orbalis::test {

// A read reply as the controller sends it: id, function, byte count, the
// registers high byte first, and two CRC bytes (the decoders never look at them).
inline QByteArray Read_Reply(const std::vector<std::uint16_t> &registers, std::uint8_t function = 3,
                             std::uint8_t id = 1)
{
    QByteArray r;
    r.append(char(id));
    r.append(char(function));
    r.append(char(registers.size() * 2));
    for (std::uint16_t v : registers) {
        r.append(char(v >> 8));
        r.append(char(v & 0xFF));
    }
    r.append('\x5A');
    r.append('\xA5');
    return r;
}

} // namespace orbalis::test
