#include "traffic_ring.h"

#include "link/serial_port.h"

#include <QDateTime>
#include <algorithm>

namespace orbalis {

namespace {

// The first bytes in a block of their own size: the port's reads leave a
// reply kilobytes of spare room, which 10 000 frames would keep alive.
QByteArray kept(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return {};
    if (bytes.size() <= TrafficRing::MaxFrameBytes && bytes.capacity() == bytes.size())
        return bytes;
    return QByteArray(bytes.constData(), std::min(bytes.size(), TrafficRing::MaxFrameBytes));
}

} // namespace

TrafficRing::TrafficRing(const SerialPort *port, std::size_t capacity, SteadyClock now, WallClock wallMs)
    : port_(port), now_(std::move(now)), wallMs_(wallMs), frames_(std::max<std::size_t>(capacity, 1))
{
}

qint64 TrafficRing::wallNow()
{
    return QDateTime::currentMSecsSinceEpoch();
}

void TrafficRing::dropOldest()
{
    TrafficFrame &oldest = frames_[first_ % frames_.size()];
    heldBytes_ -= std::size_t(oldest.bytes.size());
    oldest.bytes = QByteArray();
    ++first_;
}

TrafficFrame &TrafficRing::append(const QByteArray &bytes)
{
    if (size() == frames_.size())
        dropOldest();
    TrafficFrame &f = frames_[end_++ % frames_.size()];
    f.bytes = kept(bytes);
    f.bytesLeftOut = std::uint32_t(std::min<qsizetype>(bytes.size() - f.bytes.size(), UINT32_MAX));
    heldBytes_ += std::size_t(f.bytes.size());
    while (heldBytes_ > MaxHeldBytes && size() > 1)
        dropOldest();
    return f;
}

void TrafficRing::requestSent(Exchange exchange, int, std::uint8_t id, const QByteArray &frame)
{
    TrafficFrame &f = append(frame);
    f.wallMs = wallMs_();
    f.replyUs = -1;
    f.exchange = exchange;
    f.outcome = LineOutcome::Good;
    f.direction = TrafficDirection::Sent;
    f.id = id;
    awaiting_ = true;
    awaitedExchange_ = exchange;
    awaitedId_ = id;
}

void TrafficRing::replyJudged(Exchange exchange, int, std::uint8_t id, const QByteArray &reply, LineOutcome outcome)
{
    const bool answers = awaiting_ && awaitedExchange_ == exchange && awaitedId_ == id;
    awaiting_ = false;
    // "No answer" to a request that never went out is no traffic.
    if (!answers && reply.isEmpty())
        return;
    TrafficFrame &f = append(reply);
    f.wallMs = wallMs_();
    f.replyUs = -1;
    f.exchange = exchange;
    f.outcome = outcome;
    f.direction = TrafficDirection::Received;
    f.id = id;
    if (!port_ || reply.isEmpty())
        return;
    const SerialPort::LineTimes times = port_->lineTimes();
    if (times.lastByte) {
        // Stamped with the arrival of its last byte rather than the check.
        const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(now_() - *times.lastByte);
        f.wallMs -= std::max<qint64>(0, since.count());
    }
    if (const auto t = replyTimeOf(times))
        f.replyUs = std::int32_t(std::min<qint64>(t->count(), INT32_MAX));
}

void TrafficRing::clear()
{
    for (std::uint64_t n = first_; n < end_; ++n)
        frames_[n % frames_.size()].bytes = QByteArray();
    first_ = end_;
    heldBytes_ = 0;
}

} // namespace orbalis
