#pragma once

#include "controller_parameters.h"
#include "quiet_views.h"
#include "download_result.h"
#include "parameter_write.h"
#include "write_all_order.h"

#include "state/console.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace orbalis {

class Error;
class Reporter;

// A controller a download writes: a slot, and the controller ID the slot was
// bound to when the download started (a rebinding meanwhile does not
// redirect the writes).
struct DownloadTarget {
    int slot = 0;
    std::uint8_t id = 0;
};

// How a write asked for from outside the parameter window ended.
struct RemoteWriteResult {
    bool ok = false;   // the controller echoed the write
    QString value;     // the value read back, as the window shows it; empty when none came
    QString reason;    // why not, or why nothing was read back; empty when all went well
};
using RemoteWriteDone = std::function<void(const RemoteWriteResult &)>;

// What a download writes: the texts a controller is to hold, to which
// controllers, and which of the texts.
struct DownloadPlan {
    enum class Writes {
        All,           // every address of the write-all order (a parameter file)
        Listed,        // the listed addresses, in the write-all order (write differences)
        Differences,   // what the target's backup read shows to differ (a copy)
    };
    WriteOrigin origin = WriteOrigin::File;
    QStringList texts;            // 109 texts in address order, as a parameter file holds them
    Writes writes = Writes::All;
    std::vector<int> listed;      // Writes::Listed only
    std::vector<DownloadTarget> targets;   // written one after the other
};

// The parameter window during a download.
class DownloadView {
public:
    virtual ~DownloadView() = default;
    virtual void setProgress(int value) = 0;   // ProgressBar1: the address being written
    // One controller is done with: verified, or left alone because its
    // backup failed, or cut short.
    virtual void controllerDone(const DownloadResult &result) = 0;
    // The download is over: every controller done (`completed`), or cut
    // short (the port closed, the window closed, an error).
    virtual void downloadEnded(bool completed) = 0;
};

// The window that asked for a compare's read of its controller.
class CompareView {
public:
    virtual ~CompareView() = default;
    // The read is judged: the controller's parameters, or nullopt and the
    // read's outcome text ("No Answer !") when there are none.
    virtual void compareRead(const std::optional<ControllerParameters> &controller, const QString &failure) = 0;
};

// The write cycle behind Timer_Write. It sends one request per send tick and
// judges the reply at the next tick; while it runs Timer_Read is stopped, so
// the line carries one exchange at a time. It writes single parameters
// (Enter in a box, or a write asked for elsewhere), runs downloads (a
// backup read, the writes, a read to verify them, controller after
// controller), and reads a controller for a compare, which writes nothing.
// It reads the port, the timers and the parameter window through the
// Console, and has no widget code. Every write it sends is told to its
// write observers once judged.
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
    Start startSingleWrite(int address, WriteOrigin origin = WriteOrigin::Window);
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
    // Backs up, writes and verifies each target of the plan in turn,
    // reporting to `view`. Refused (false, a beep) while the cycle runs or
    // when the plan has no target or not 109 texts.
    bool startDownload(DownloadPlan plan, DownloadView &view);
    // Reads all parameters of the window's controller for a compare and
    // shows them in the window; nothing is written. Refused like a download.
    bool startCompareRead(CompareView &view);
    // The window closes while the cycle runs: it stops and live polling
    // restarts (Read_State 0). A write whose answer was not judged yet is
    // told to the observers as not judged. A write asked for from outside
    // the window is not the window's to stop.
    void stopAndResumePolling();

    bool running() const;
    bool downloading() const { return transfer_ == Transfer::Download; }

    void addWriteObserver(ParameterWriteObserver *observer);
    void removeWriteObserver(ParameterWriteObserver *observer);

    // One tick. No exception leaves it.
    void Timer_Write_Timer() noexcept;
    // Timer_Write's interval by Baud: "2400", "4800", "9600", "19200" in that
    // order; any other baud text leaves it as it is.
    void Set_Write_Interval(int ms2400, int ms4800, int ms9600, int ms19200);

    // Addresses 0..13, 16..52, 55..108, then 15: 106 writes.
    static const std::array<int, WriteAllCount> &allWriteOrder() { return writeAllOrder(); }
    static QString writeText(int address);   // "Write SV Parameters ,Please Wait ... "

    // How a reply to the write request `request` is judged, and the text
    // panel 2 gets for it.
    struct Judgement {
        LineOutcome outcome;
        QString text;
    };
    static Judgement judgeWriteReply(const QByteArray &reply, const QByteArray &request);
    static Judgement judgement(const ReplyJudgement &judged);

private:
    enum class Transfer { None, Single, Download, CompareRead };
    enum class Step { BackupRead, Write, VerifyRead };

    struct Download {
        DownloadPlan plan;
        DownloadView *view = nullptr;
        size_t target = 0;          // in plan.targets
        Step step = Step::BackupRead;
        std::vector<int> writes;    // this target's addresses, in the order written
        size_t position = 0;        // in writes
        std::vector<int> accepted;  // addresses the controller echoed
        std::int32_t dpCode = 47;   // the target's, from its backup read
        DownloadResult result;
    };

    // A single write that did not come from the window.
    struct RemoteWrite {
        WriteOrigin origin;
        int slot;
        RemoteWriteDone done;
        bool readingBack = false;   // the echo was good; the read of the value is out
    };

    void tick();
    void endTransfer();
    void cutShort();

    // Single writes.
    void sendSingle();
    void replySingle(const ReplyJudgement &judged);
    void switchBaudRate();

    // Downloads.
    void startTarget();
    void sendBackupRead();
    void judgeBackupRead(const ReplyJudgement &judged);
    void sendNextWrite();
    void judgeDownloadWrite(const Judgement &j, const ReplyJudgement &judged);
    void sendVerifyRead();
    void judgeVerifyRead(const ReplyJudgement &judged);
    void targetDone();
    bool takeBackup(const ControllerParameters &before);
    QString statusPrefix() const;
    const DownloadTarget &target() const;

    // Compare reads.
    void sendCompareRead();
    void judgeCompareRead(const ReplyJudgement &judged);

    // The line.
    void sendWrite(int slot, std::uint8_t id, int address, std::int32_t value, const QString &text,
                   WriteOrigin origin);
    void writeJudged(const ReplyJudgement &judged);
    void sendReadAll(int slot, std::uint8_t id);
    bool takesLine();
    void onError(const Error &e) noexcept;
    void setInterval();
    void setReadAllInterval();
    void sendReadBack();
    void readBackTick();
    void endRemoteWrite(const RemoteWriteResult &result);
    int targetSlot() const;   // Para_Slot, or the slot of a remote write
    // The read decoded into the parameter window when it shows that slot's
    // controller, and the slot's decimal-point code set from it.
    void showRead(int slot, std::uint8_t id, const ControllerParameters &read);

    StatusPanels *status() const;
    CycleTimer &timerWrite() const;   // Error 8018 when there is none
    std::uint8_t id() const;
    std::int32_t dpCode() const;

    Console &console_;
    Reporter &reporter_;
    std::vector<ParameterWriteObserver *> writeObservers_;
    Transfer transfer_ = Transfer::None;
    std::optional<Download> download_;
    CompareView *compareView_ = nullptr;
    std::optional<ParameterWrite> inFlight_;   // the write whose answer is awaited
    QString singleText_;
    WriteOrigin singleOrigin_ = WriteOrigin::Window;
    std::optional<RemoteWrite> remote_;
    StatusTexts remoteStatus_;   // the texts of a remote write: no window shows them
    bool inTick_ = false;
};

} // namespace orbalis
