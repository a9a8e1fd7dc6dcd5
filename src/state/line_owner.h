#pragma once

#include "line_observer.h"
#include "read_state.h"

#include "base/cycle_timer.h"
#include "link/line_buffers.h"
#include "link/reply_judge.h"
#include "link/serial_port.h"

#include <QByteArray>
#include <array>
#include <cstdint>

namespace orbalis {

// Para_Slot while no parameter window is open.
constexpr int NoParameterSlot = 16;

// Write_Mode: what the write cycle sends.
enum class WriteMode : int {
    Single = 0, // one parameter, after Enter in its box
    All = 1,    // every parameter of a loaded file
};

// The owner of the serial line. It holds the port, the two line buffers and
// the state that says who uses the line and for what, and hands the line to
// the polling cycle (Timer_Read), the write cycle (Timer_Write) or the scan.
// It is the only code that changes Read_State, Poll_Slot, Para_Slot,
// Para_Index, Para_Value, Write_Mode and Send_Pending: everybody else reads
// them and asks for what should happen next.
class LineOwner {
public:
    // Every request sent and every reply judged is reported to `observers`.
    explicit LineOwner(LineObserver &observers) : observers_(observers) {}
    LineOwner(const LineOwner &) = delete;
    LineOwner &operator=(const LineOwner &) = delete;

    // The port and the two timers, owned by the main window (or the headless
    // core, or a test); null while there are none.
    void attach(SerialPort *port, CycleTimer *timerRead, CycleTimer *timerWrite);
    void detach();
    SerialPort *port() const { return port_; }
    bool portOpen() const;
    // Throws Error 8018 when there is no port at all.
    SerialPort &openedPort() const;
    CycleTimer *Timer_Read() const { return timerRead_; }
    CycleTimer *Timer_Write() const { return timerWrite_; }

    ReadState Read_State() const { return readState_; }
    std::int16_t Poll_Slot() const { return pollSlot_; }
    std::int16_t Para_Slot() const { return paraSlot_; }
    std::int16_t Para_Index() const { return paraIndex_; }
    std::int32_t Para_Value() const { return paraValue_; }
    WriteMode Write_Mode() const { return writeMode_; }
    bool Send_Pending() const { return sendPending_; }
    const std::array<std::uint8_t, 8> &Request_Frame() const { return buffers_.Request_Frame; }
    const QByteArray &Reply_Buffer() const { return buffers_.Reply_Buffer; }
    // The request of the last send as bytes; empty when it did not go out.
    QByteArray requestSent() const;

    // --- Exchanges ---------------------------------------------------------
    // Send_Read_Request and Send_Write_Request on the port: false (and
    // nothing sent) when there is no port or the request cannot go out. What
    // went out is reported to the observers.
    bool sendRead(Exchange exchange, int slot, std::uint8_t id, std::int16_t address, std::int32_t count) noexcept;
    bool sendWrite(int slot, std::uint8_t id, std::int16_t address, std::int32_t value) noexcept;
    // Check_Reply: everything received into Reply_Buffer, judged against the
    // request that went out. Port errors propagate to the caller's trap.
    ReplyJudgement takeReply();
    // Tells the observers how the cycle judged Reply_Buffer.
    void reportJudged(Exchange exchange, int slot, std::uint8_t id, LineOutcome outcome);

    // --- The console's start ---------------------------------------------
    // No parameter window, polling from the first slot.
    void startFresh();

    // --- The polling cycle -------------------------------------------------
    void awaitLiveReply();              // a live-value read went out: Read_State 3
    void awaitParameterReply(bool all); // a parameter read went out: Read_State 4 or 5
    void nextPollSlot();                // Poll_Slot moves on, from 15 back to 0
    // The polling cycle's error trap: the exchange is dropped, Read_State 0
    // and Reply_Buffer empty.
    void dropExchange();

    // --- The parameter window ------------------------------------------------
    // The parameters of this slot are shown (its menu button was clicked).
    void showParametersOf(int slot);
    // The window is gone: no parameter slot, and a parameter read asked for
    // but not sent yet has no controller any more.
    void parametersClosed();
    // Read all parameters of the slot next: Read_State 2, Timer_Read (re)started.
    void readAllParametersNext();
    // Read this parameter back next: Read_State 1, Timer_Read (re)started.
    void readParameterNext(std::int16_t address);

    // --- The write cycle ------------------------------------------------------
    // The write cycle takes the line: Timer_Read stops, the next tick of
    // Timer_Write sends.
    void writeTakesLine(WriteMode mode);
    // The parameter and the value the next write request carries.
    void aimWrite(std::int16_t address, std::int32_t value);
    // An address no request can carry: the send tick refuses it.
    void aimWriteAt(std::int16_t address);
    // The write stops before its end: nothing more to send, live polling
    // next; Timer_Read restarted when `pollAgain`.
    void writeAbandoned(bool pollAgain);

    // --- The scan --------------------------------------------------------------
    // The scan takes the line: Timer_Read stops, the next scan tick sends.
    void scanTakesLine();

    // --- Both the write cycle and the scan -----------------------------------
    // The next tick sends instead of judging a reply (Send_Pending).
    void nextTickSends();
    // A tick takes the pending send: whether it was pending; cleared.
    bool takePendingSend();

    // --- Giving the line back --------------------------------------------------
    // Live polling from Read_State 0; Timer_Read started if it is not running.
    void resumeLivePolling();
    // Timer_Read started if it is not running; the state stays as it is.
    void resumePollingTimer();
    // Timer_Read stopped: nothing polls (the port is closed on purpose).
    void stopPolling();

private:
    friend class LineOwnerProbe; // tests only: states no code sets

    LineObserver &observers_;
    SerialPort *port_ = nullptr;
    CycleTimer *timerRead_ = nullptr;
    CycleTimer *timerWrite_ = nullptr;
    LineBuffers buffers_;

    ReadState readState_ = ReadState::Select;
    std::int16_t pollSlot_ = 0;
    std::int16_t paraSlot_ = NoParameterSlot;
    std::int16_t paraIndex_ = 0;
    std::int32_t paraValue_ = 0;
    WriteMode writeMode_ = WriteMode::Single;
    bool sendPending_ = false;
};

} // namespace orbalis
