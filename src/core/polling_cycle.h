#pragma once

#include "state/console.h"
#include "base/status_panels.h"
#include "link/reply_judge.h"

#include <QString>
#include <functional>
#include <initializer_list>

namespace orbalis {

class Error;
class LiveValueStore;
struct BaudWaits;
class SlotPainter;

// The polling cycle behind Timer_Read. Each tick judges the reply to the
// request the previous tick sent and sends the next request; it never waits
// for the line. Live-value reads go round the bound slots; a parameter read
// asked for by Read_State 1 or 2 cuts in once.
class PollingCycle {
public:
    // Talks to the port and sets the interval of Timer_Read that the
    // console's line owner holds.
    PollingCycle(Console &console, StatusPanels &mainStatus, LiveValueStore &store, SlotPainter &painter);

    // One tick. No exception ever leaves it: errors go to panel 2 of the
    // main window's status bar, port errors also reopen or close the port.
    void Timer_Read_Timer() noexcept;

    // Sets Timer_Read's interval (ms) by Baud: "2400", "4800", "9600" and
    // "19200" in that order; any other baud text leaves it as it is.
    void Set_Read_Interval(int ms2400, int ms4800, int ms9600, int ms19200);

    // Texts of the status bars.
    static QString slotText(int slot, int id);   // "No.3 Slot ; ID = 5"
    static QString portErrorText(int number);
    // portErrorText, and while the port stays closed, which device went
    // away or is waited for, and that the panel shows the last values.
    QString portTroubleText(int number) const;
    static QString trapText(const Error &e);

private:
    enum class Trap { Continue, EndTick };

    // Runs statements of the tick one by one under the tick's error trap;
    // false when an error ended the tick.
    bool run(std::initializer_list<std::function<void()>> statements) noexcept;
    Trap step(const std::function<void()> &statement) noexcept;
    Trap onError(const Error &e) noexcept;

    void selectAndSend();   // state 0, and after every reply
    void sendParameterRead(bool all, const QString &pleaseWait, std::int16_t address, std::int32_t count,
                           const BaudWaits &wait);
    void setReadWait(const BaudWaits &wait);
    bool judgeLiveReply(const ReplyJudgement &judged);
    bool judgeParameterReply(ReadState state, const ReplyJudgement &judged);
    void showParameterReply(ReadState state);

    LineOwner &line() const { return console_.line; }
    std::uint8_t idOf(int slot) const;      // SlotId, Error 9 outside 0..15
    std::int32_t &dpCodeOf(int slot) const; // Slot_DP_Code, Error 9 outside 0..15
    StatusPanels *parameterStatus() const;
    DisplayTargets parameterTargets() const;

    Console &console_;
    StatusPanels &mainStatus_;
    LiveValueStore &store_;
    SlotPainter &painter_;
    bool liveValuesShown_ = false;   // some slot shows values received in this run
};

} // namespace orbalis
