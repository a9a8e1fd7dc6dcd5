#pragma once

#include "line_timing.h"

#include <QByteArray>
#include <optional>
#include <vector>

namespace orbalis::sim {

// Cuts the byte stream from the master into frames: a request of function
// 3, 4 or 6 ends after its 8 bytes; anything else ends at the inter-frame
// silence.
class FrameAssembler {
public:
    struct Frame {
        QByteArray bytes;
        Micros end;   // when its last byte arrived
    };

    // Bytes that arrived at now; returns the frames they complete.
    std::vector<Frame> receive(const QByteArray &bytes, Micros now, Micros silence);
    // The frame under way, once the line has been silent long enough.
    std::optional<Frame> closeIfSilent(Micros now, Micros silence);
    // When the frame under way ends by silence, if one is under way.
    std::optional<Micros> silenceDeadline(Micros silence) const;

private:
    QByteArray pending_;
    Micros lastByte_{0};
};

} // namespace orbalis::sim
