#pragma once

#include "base/error.h"

#include <QByteArray>
#include <cstdint>

namespace orbalis {

// Reading a reply at byte positions. A position outside the received bytes
// is error 9: nothing past the end is ever read.
inline std::uint8_t replyByte(const QByteArray &reply, int position)
{
    if (position < 0 || position >= reply.size())
        throw Error(SubscriptOutOfRange);
    return std::uint8_t(reply[position]);
}

// The 16-bit register whose high byte is at `hi` and low byte at `lo`.
inline std::uint16_t replyRegister(const QByteArray &reply, int hi, int lo)
{
    const std::uint8_t high = replyByte(reply, hi);
    const std::uint8_t low = replyByte(reply, lo);
    return std::uint16_t(high << 8 | low);
}

// Byte position of the high byte of `address` in a reply to a read that
// started at `firstAddress`: after id, function and byte count.
constexpr int registerPosition(int address, int firstAddress)
{
    return 3 + 2 * (address - firstAddress);
}

} // namespace orbalis
