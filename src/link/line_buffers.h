#pragma once

#include <QByteArray>
#include <array>
#include <cstdint>

namespace orbalis {

// The two line buffers shared by every exchange: the last request sent and
// the latest reply, which the decoders read at fixed positions.
struct LineBuffers {
    std::array<std::uint8_t, 8> Request_Frame{};
    QByteArray Reply_Buffer;
    // Request_Frame went out with the last send; a reply can answer nothing else.
    bool requestSent = false;
};

} // namespace orbalis
