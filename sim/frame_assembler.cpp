#include "frame_assembler.h"

namespace orbalis::sim {

namespace {

constexpr int FixedRequestLength = 8;
constexpr int MaxFrameLength = 256;   // longest RTU frame

bool hasFixedLength(const QByteArray &bytes)
{
    if (bytes.size() < 2)
        return false;
    const auto function = std::uint8_t(bytes[1]);
    return function == 3 || function == 4 || function == 6;
}

} // namespace

std::vector<FrameAssembler::Frame> FrameAssembler::receive(const QByteArray &bytes, Micros now,
                                                           Micros silence)
{
    std::vector<Frame> frames;
    if (auto ended = closeIfSilent(now, silence))
        frames.push_back(*ended);
    for (char b : bytes) {
        pending_.append(b);
        const bool complete = hasFixedLength(pending_) ? pending_.size() == FixedRequestLength
                                                         : pending_.size() >= MaxFrameLength;
        if (complete) {
            frames.push_back({pending_, now});
            pending_.clear();
        }
    }
    if (!bytes.isEmpty())
        lastByte_ = now;
    return frames;
}

std::optional<FrameAssembler::Frame> FrameAssembler::closeIfSilent(Micros now, Micros silence)
{
    if (pending_.isEmpty() || now - lastByte_ < silence)
        return std::nullopt;
    Frame f{pending_, lastByte_};
    pending_.clear();
    return f;
}

std::optional<Micros> FrameAssembler::silenceDeadline(Micros silence) const
{
    if (pending_.isEmpty())
        return std::nullopt;
    return lastByte_ + silence;
}

} // namespace orbalis::sim
