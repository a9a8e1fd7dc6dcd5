#include "line_engine.h"

#include "modbus_slave.h"
#include "traffic_log.h"

#include <algorithm>

namespace orbalis::sim {

namespace {
constexpr int MaxPlantStepsPerCall = 6000;   // after a long stall, do not replay more than 10 min
}

LineEngine::LineEngine(ControllerBank &bank, LineConfig config, TrafficLog *log)
    : bank_(bank), config_(config), log_(log), faults_(config.faults, config.seed)
{
}

void LineEngine::receive(const QByteArray &bytes, Micros now, int lineBaud)
{
    for (const auto &frame : assembler_.receive(bytes, now, frameSilence(lineBaud)))
        handle(frame, lineBaud);
}

void LineEngine::advance(Micros now, int lineBaud)
{
    if (auto frame = assembler_.closeIfSilent(now, frameSilence(lineBaud)))
        handle(*frame, lineBaud);
    int steps = 0;
    while (plantTime_ + PlantStep <= now) {
        if (steps++ < MaxPlantStepsPerCall)
            bank_.step(std::chrono::duration<double>(PlantStep).count());
        plantTime_ += PlantStep;
    }
}

void LineEngine::handle(const FrameAssembler::Frame &frame, int lineBaud)
{
    if (log_)
        log_->record(Direction::FromConsole, frame.bytes);
    auto answer = answerRequest(bank_, frame.bytes, lineBaud);
    if (!answer)
        return;

    const Micros byte = byteTime(lineBaud);
    Micros due =
        frame.end + byte * frame.bytes.size() + config_.turnaround + byte * answer->reply.size() + config_.replyDelay;
    QByteArray bytes = answer->reply;
    if (faults_.drop()) {
        bytes.clear();
    } else {
        if (faults_.badCrc())
            bytes[bytes.size() - 1] = char(bytes[bytes.size() - 1] ^ 0x5A);
        if (faults_.late())
            due += longestReplyWait(lineBaud) + Micros(100'000);
        if (faults_.garbage())
            bytes.prepend(faults_.noise());
    }
    const Pending p{due, bytes, answer->controller};
    pending_.insert(std::upper_bound(pending_.begin(), pending_.end(), p,
                                     [](const Pending &a, const Pending &b) { return a.due < b.due; }),
                    p);
}

QByteArray LineEngine::takeDue(Micros now)
{
    QByteArray out;
    auto it = pending_.begin();
    for (; it != pending_.end() && it->due <= now; ++it) {
        if (log_)
            log_->record(Direction::ToConsole, it->bytes);
        out.append(it->bytes);
        it->controller->applyLinkSettings();
    }
    pending_.erase(pending_.begin(), it);
    return out;
}

Micros LineEngine::nextDeadline(int lineBaud) const
{
    Micros next = plantTime_ + PlantStep;
    if (!pending_.empty())
        next = std::min(next, pending_.front().due);
    if (auto silence = assembler_.silenceDeadline(frameSilence(lineBaud)))
        next = std::min(next, *silence);
    return next;
}

} // namespace orbalis::sim
