#pragma once

#include "reply_time.h"

#include "state/line_observer.h"

#include <QByteArray>
#include <QtGlobal>
#include <cstdint>
#include <vector>

namespace orbalis {

class SerialPort;

enum class TrafficDirection : std::uint8_t { Sent, Received };

// One frame on the line as the console saw it.
struct TrafficFrame {
    qint64 wallMs = 0;                 // ms since the epoch: sent, or when its last byte came
    QByteArray bytes;                  // its first bytes (a frame of the protocol whole);
                                       // empty for a reply that never came
    std::int32_t replyUs = -1;         // received: the reply time, when the port could tell
    std::uint32_t bytesLeftOut = 0;    // bytes of the frame past those kept
    Exchange exchange = Exchange::Live;
    LineOutcome outcome = LineOutcome::Good;   // received frames only
    TrafficDirection direction = TrafficDirection::Sent;
    std::uint8_t id = 0;
};

// The last frames on the line, oldest dropped first: every request sent and
// every reply judged ("no answer" too, but only after a request that went
// out), kept whether or not anybody looks.
// Frames are numbered from 0 for the life of the ring; a view remembers the
// number it has seen up to.
// Garbage on the line (a wrong baud rate, a chattering device) comes as
// replies of any length, so the bytes are bounded too: a frame keeps its
// first MaxFrameBytes and the count of the rest, and all frames together
// keep at most MaxHeldBytes, the oldest frames going first for more.
class TrafficRing : public LineObserver {
public:
    static constexpr std::size_t DefaultCapacity = 10000;
    // More than the longest frame of the protocol (a read-all reply, 223).
    static constexpr qsizetype MaxFrameBytes = 256;
    // Three times what a full ring of polling holds.
    static constexpr std::size_t MaxHeldBytes = 1024 * 1024;
    using WallClock = qint64 (*)();

    // port: asked when a reply's last byte came; may be null.
    explicit TrafficRing(const SerialPort *port, std::size_t capacity = DefaultCapacity,
                         SteadyClock now = &std::chrono::steady_clock::now, WallClock wallMs = &wallNow);

    void requestSent(Exchange exchange, int slot, std::uint8_t id, const QByteArray &frame) override;
    void replyJudged(Exchange exchange, int slot, std::uint8_t id, const QByteArray &reply,
                     LineOutcome outcome) override;

    std::size_t capacity() const { return frames_.size(); }
    std::size_t size() const { return std::size_t(end_ - first_); }
    std::uint64_t firstNumber() const { return first_; }   // of the oldest frame held
    std::uint64_t endNumber() const { return end_; }       // of the next frame to come
    // A frame held: firstNumber() <= number < endNumber().
    const TrafficFrame &at(std::uint64_t number) const { return frames_[number % frames_.size()]; }
    // The bytes the frames held keep, at most MaxHeldBytes.
    std::size_t heldBytes() const { return heldBytes_; }
    // Forgets every frame held; numbering goes on.
    void clear();

    static qint64 wallNow();

private:
    // A new frame holding the first bytes of `bytes`.
    TrafficFrame &append(const QByteArray &bytes);
    void dropOldest();

    const SerialPort *port_;
    SteadyClock now_;
    WallClock wallMs_;
    std::vector<TrafficFrame> frames_;
    std::uint64_t first_ = 0;
    std::uint64_t end_ = 0;
    std::size_t heldBytes_ = 0;
    bool awaiting_ = false;
    Exchange awaitedExchange_ = Exchange::Live;
    std::uint8_t awaitedId_ = 0;
};

} // namespace orbalis
