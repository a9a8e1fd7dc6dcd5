#include "line_owner.h"

#include "base/cycle_timer.h"
#include "base/error.h"
#include "link/frames.h"
#include "link/serial_port.h"
#include "settings/settings_model.h"

namespace orbalis {

void LineOwner::attach(SerialPort *port, CycleTimer *timerRead, CycleTimer *timerWrite)
{
    port_ = port;
    timerRead_ = timerRead;
    timerWrite_ = timerWrite;
}

void LineOwner::detach()
{
    attach(nullptr, nullptr, nullptr);
}

bool LineOwner::portOpen() const
{
    return port_ && port_->PortOpen();
}

SerialPort &LineOwner::openedPort() const
{
    if (!port_)
        throw Error(PortNotOpen, QStringLiteral("no serial port"));
    return *port_;
}

QByteArray LineOwner::requestSent() const
{
    return buffers_.requestSent ? requestBytes(buffers_) : QByteArray();
}

bool LineOwner::sendRead(Exchange exchange, int slot, std::uint8_t id, std::int16_t address,
                         std::int32_t count) noexcept
{
    if (!port_ || !Send_Read_Request(*port_, buffers_, id, address, count))
        return false;
    observers_.requestSent(exchange, slot, id, requestBytes(buffers_));
    return true;
}

bool LineOwner::sendWrite(int slot, std::uint8_t id, std::int16_t address, std::int32_t value) noexcept
{
    if (!port_ || !Send_Write_Request(*port_, buffers_, id, address, value))
        return false;
    observers_.requestSent(Exchange::Write, slot, id, requestBytes(buffers_));
    return true;
}

ReplyJudgement LineOwner::takeReply()
{
    return takeJudgedReply(openedPort(), buffers_);
}

void LineOwner::reportJudged(Exchange exchange, int slot, std::uint8_t id, LineOutcome outcome)
{
    observers_.replyJudged(exchange, slot, id, buffers_.Reply_Buffer, outcome);
}

void LineOwner::startFresh()
{
    paraSlot_ = NoParameterSlot;
    pollSlot_ = 0;
}

void LineOwner::awaitLiveReply()
{
    readState_ = ReadState::AwaitLive;
}

void LineOwner::awaitParameterReply(bool all)
{
    readState_ = all ? ReadState::AwaitAll : ReadState::AwaitOne;
}

void LineOwner::nextPollSlot()
{
    pollSlot_ = pollSlot_ >= 0 && pollSlot_ < SlotCount - 1 ? std::int16_t(pollSlot_ + 1) : std::int16_t(0);
}

void LineOwner::dropExchange()
{
    readState_ = ReadState::Select;
    buffers_.Reply_Buffer.clear();
}

void LineOwner::showParametersOf(int slot)
{
    paraSlot_ = std::int16_t(slot);
}

void LineOwner::parametersClosed()
{
    if (readState_ == ReadState::ReadOne || readState_ == ReadState::ReadAll)
        readState_ = ReadState::Select;
    paraSlot_ = NoParameterSlot;
}

void LineOwner::readAllParametersNext()
{
    // Stopped and started again, so that the read goes out one whole
    // interval from now.
    if (timerRead_ && timerRead_->isEnabled())
        timerRead_->setEnabled(false);
    readState_ = ReadState::ReadAll;
    if (timerRead_)
        timerRead_->setEnabled(true);
}

void LineOwner::readParameterNext(std::int16_t address)
{
    paraIndex_ = address;
    readState_ = ReadState::ReadOne;
    if (timerRead_)
        timerRead_->setEnabled(true);
}

void LineOwner::writeTakesLine(WriteMode mode)
{
    if (timerRead_ && timerRead_->isEnabled())
        timerRead_->setEnabled(false);
    writeMode_ = mode;
    sendPending_ = true;
}

void LineOwner::aimWrite(std::int16_t address, std::int32_t value)
{
    paraIndex_ = address;
    paraValue_ = value;
}

void LineOwner::aimWriteAt(std::int16_t address)
{
    paraIndex_ = address;
}

void LineOwner::writeAbandoned(bool pollAgain)
{
    sendPending_ = false;
    readState_ = ReadState::Select;
    if (pollAgain && timerRead_)
        timerRead_->setEnabled(true);
}

void LineOwner::scanTakesLine()
{
    if (timerRead_ && timerRead_->isEnabled())
        timerRead_->setEnabled(false);
    sendPending_ = true;
}

void LineOwner::nextTickSends()
{
    sendPending_ = true;
}

bool LineOwner::takePendingSend()
{
    const bool pending = sendPending_;
    sendPending_ = false;
    return pending;
}

void LineOwner::resumeLivePolling()
{
    readState_ = ReadState::Select;
    resumePollingTimer();
}

void LineOwner::resumePollingTimer()
{
    if (timerRead_ && !timerRead_->isEnabled())
        timerRead_->setEnabled(true);
}

void LineOwner::stopPolling()
{
    if (timerRead_)
        timerRead_->setEnabled(false);
}

} // namespace orbalis
