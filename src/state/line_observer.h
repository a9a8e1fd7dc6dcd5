#pragma once

#include "link/reply_judge.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace orbalis {

// Which cycle an exchange on the line belongs to.
enum class Exchange {
    Live,      // polling: the live-value read of a slot
    ReadOne,   // polling: the read-back of one parameter
    ReadAll,   // polling: the read of all parameters
    Write,     // write cycle: one write-single-register request
    Scan,      // controller scan: one read at the scan's baud rate
};

// Watches the line for counters, the traffic view and the trends. The cycles
// tell it what they sent and how they judged the reply; it never sends,
// delays or reorders anything. `slot` is -1 where no slot is concerned (scan).
class LineObserver {
public:
    virtual ~LineObserver() = default;
    virtual void requestSent(Exchange exchange, int slot, std::uint8_t id, const QByteArray &frame) = 0;
    virtual void replyJudged(Exchange exchange, int slot, std::uint8_t id, const QByteArray &reply,
                             LineOutcome outcome) = 0;
};

// The observers of the console; the cycles report to this one list.
class LineObservers : public LineObserver {
public:
    void add(LineObserver *observer) { observers_.push_back(observer); }
    void remove(LineObserver *observer) { std::erase(observers_, observer); }

    void requestSent(Exchange exchange, int slot, std::uint8_t id, const QByteArray &frame) override
    {
        for (LineObserver *o : observers_)
            o->requestSent(exchange, slot, id, frame);
    }
    void replyJudged(Exchange exchange, int slot, std::uint8_t id, const QByteArray &reply,
                     LineOutcome outcome) override
    {
        for (LineObserver *o : observers_)
            o->replyJudged(exchange, slot, id, reply, outcome);
    }

private:
    std::vector<LineObserver *> observers_;
};

} // namespace orbalis
