#pragma once

#include "quiet_views.h"

#include "state/console.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace orbalis {

class Error;
class Reporter;

// What a write-all needs of the parameter window beyond ParameterView.
class WriteAllView {
public:
    virtual ~WriteAllView() = default;
    virtual void setProgress(int value) = 0;   // ProgressBar1
    // The write-all is over: normal height, the three buttons enabled.
    // `summary` says how many writes the controller accepted; empty when the
    // write-all was cut short.
    virtual void writeAllEnded(const QString &summary) = 0;
};

// Who asked for a single write; the audit of parameter writes names it.
enum class WriteOrigin {
    Window,   // Enter in a box of the parameter window
    Mqtt,     // a set message that came through the MQTT publisher
};

// How a write asked for from outside the parameter window ended.
struct RemoteWriteResult {
    bool ok = false;   // the controller echoed the write
    QString value;     // the value read back, as the window shows it; empty when none came
    QString reason;    // why not, or why nothing was read back; empty when all went well
};
using RemoteWriteDone = std::function<void(const RemoteWriteResult &)>;

// The write cycle behind Timer_Write. It sends one write-single-register
// request per send tick and judges the reply at the next tick; while it runs
// Timer_Read is stopped, so the line carries one exchange at a time. It reads
// the port, the timers and the parameter window through the Console, and has
// no widget code.
class WriteCycle {
public:
    WriteCycle(Console &console, Reporter &reporter);

    enum class Start {
        Started,
        Refused,   // the value cannot be sent: the reason is in panel 2, nothing goes on the line
        Busy,      // a write is running: beep, nothing changes
    };
    // Enter in the box of `address`: Para_Index, Para_Value by
    // Get_Parameter_Value, Timer_Read off, a single write on Timer_Write.
    Start startSingleWrite(int address);
    // A single write asked for from outside the parameter window: `text` is
    // what a user would type or pick in the box of `address`, checked as
    // Enter checks it (Get_Parameter_Value with the slot's decimal places,
    // the range, the items of a list) and sent to the controller of `slot`.
    // A good echo is followed by a read of that parameter, and live polling
    // resumes whatever the outcome; `done` hears the end. Refused: `done`
    // has heard why, nothing went on the line. Busy: the line is not free
    // now (see lineFreeForRemoteWrite); nothing changed, ask again later.
    Start startRemoteWrite(WriteOrigin origin, int slot, int address, const QString &text, RemoteWriteDone done);
    // Live polling has the line and nothing else waits for it: no write, no
    // parameter read asked for or awaited, no scan (which stops Timer_Read).
    bool lineFreeForRemoteWrite() const;
    // After the window was loaded from a parameter file: writes every
    // parameter of the write-all order, reporting progress to `view`.
    void startWriteAll(WriteAllView &view);
    // The window closes while a write runs: the write stops and live polling
    // restarts (Read_State 0).
    // A write asked for from outside the window is not the window's to stop.
    void stopAndResumePolling();

    bool running() const;
    bool writingAll() const { return writeAllView_ != nullptr; }

    // One tick. No exception leaves it.
    void Timer_Write_Timer() noexcept;
    // Timer_Write's interval by Baud: "2400", "4800", "9600", "19200" in that
    // order; any other baud text leaves it as it is.
    void Set_Write_Interval(int ms2400, int ms4800, int ms9600, int ms19200);

    // Addresses 0..13, 16..52, 55..108, then 15: 106 writes.
    static const std::array<int, 106> &allWriteOrder();
    static QString writeText(int address);   // "Write SV Parameters ,Please Wait ... "
    static QString summaryText(int accepted, const QStringList &notAccepted);

    // How a reply to the write request `request` is judged, and the text
    // panel 2 gets for it.
    struct Judgement {
        LineOutcome outcome;
        QString text;
    };
    static Judgement judgeWriteReply(const QByteArray &reply, const QByteArray &request);
    static Judgement judgement(const ReplyJudgement &judged);

private:
    // A single write that did not come from the window.
    struct RemoteWrite {
        WriteOrigin origin;
        int slot;
        RemoteWriteDone done;
        bool readingBack = false;   // the echo was good; the read of the value is out
    };

    void tick();
    void sendSingle();
    void replyTick();
    void sendWriteAllFrom(size_t position);
    void endWriteAll(bool completed);
    void sendWrite();
    void switchBaudRate();
    void onError(const Error &e) noexcept;
    void setInterval();
    void sendReadBack();
    void readBackTick();
    void endRemoteWrite(const RemoteWriteResult &result);
    int targetSlot() const;   // Para_Slot, or the slot of a remote write

    StatusPanels *status() const;
    CycleTimer &timerWrite() const;   // Error 8018 when there is none
    std::uint8_t id() const;
    std::int32_t dpCode() const;

    Console &console_;
    Reporter &reporter_;
    WriteAllView *writeAllView_ = nullptr;
    size_t position_ = 0;            // in allWriteOrder
    int accepted_ = 0;
    QStringList notAccepted_;
    std::optional<RemoteWrite> remote_;
    StatusTexts remoteStatus_;   // the texts of a remote write: no window shows them
    bool inTick_ = false;
};

} // namespace orbalis
