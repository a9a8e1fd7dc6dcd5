#include "write_cycle.h"

#include "parameter_backup.h"
#include "parameter_diff.h"
#include "reply_waits.h"

#include "base/error.h"
#include "base/error_trap.h"
#include "base/reporter.h"
#include "link/exception_texts.h"
#include "link/frames.h"
#include "link/reply_judge.h"
#include "model/display.h"
#include "model/parameter_value.h"
#include "model/register_addresses.h"
#include "model/register_map.h"
#include "settings/settings_store.h"
#include "state/open_serial_port.h"

#include <algorithm>

namespace orbalis {

namespace {

// A record file that cannot be written beeps as often.
constexpr int BackupFailureBeeps = 3;

// The baud text a "BAUD" choice code stands for; empty outside the list.
QString baudTextOf(std::int32_t code)
{
    const RegisterInfo *r = findRegister(reg::BAUD);
    const Enumeration &e = *r->enumeration;
    if (code < e.firstCode || code > e.lastCode())
        return {};
    const std::string_view item = e.items[size_t(code - e.firstCode)];
    return QString::fromLatin1(item.data(), qsizetype(item.size()));
}

bool contains(const std::vector<int> &addresses, int address)
{
    return std::find(addresses.begin(), addresses.end(), address) != addresses.end();
}

// What a user typed or picked in the box of one parameter, as the encoder
// reads the window's controls: a list's item is the one whose text it is
// (exactly, or else the one item that differs only by blanks around it,
// such as "AT2 " for "AT2").
class TypedValue : public ParameterSource {
public:
    TypedValue(int address, QString text) : address_(address), text_(std::move(text)) {}
    QString text(int address) const override { return address == address_ ? text_ : QString(); }
    int selectedIndex(int address) const override
    {
        const RegisterInfo *r = findRegister(address);
        if (address != address_ || !r || !r->enumeration)
            return -1;
        const auto &items = r->enumeration->items;
        int loose = -1;
        int looseMatches = 0;
        for (size_t i = 0; i < items.size(); ++i) {
            const QString item = QString::fromLatin1(items[i].data(), qsizetype(items[i].size()));
            if (item == text_)
                return int(i);
            if (item.trimmed() == text_.trimmed()) {
                loose = int(i);
                ++looseMatches;
            }
        }
        return looseMatches == 1 ? loose : -1;
    }

private:
    int address_;
    QString text_;
};

// The text the read-back pass shows for one parameter.
class ShownValue : public ParameterSink {
public:
    void setText(int address, const QString &text) override
    {
        Q_UNUSED(address);
        text_ = text;
    }
    void selectItem(int address, int index) override
    {
        const RegisterInfo *r = findRegister(address);
        if (r && r->enumeration && index >= 0 && size_t(index) < r->enumeration->items.size()) {
            const std::string_view item = r->enumeration->items[size_t(index)];
            text_ = QString::fromLatin1(item.data(), qsizetype(item.size()));
        }
    }
    const QString &text() const { return text_; }

private:
    QString text_;
};

} // namespace

WriteCycle::WriteCycle(Console &console, Reporter &reporter) : console_(console), reporter_(reporter) {}

QString WriteCycle::writeText(int address)
{
    return QStringLiteral("Write ") + parameterMnemonic(address) + QStringLiteral(" Parameters ,Please Wait ... ");
}

WriteCycle::Judgement WriteCycle::judgeWriteReply(const QByteArray &reply, const QByteArray &request)
{
    return judgement(judgeReplyTo(request, reply));
}

WriteCycle::Judgement WriteCycle::judgement(const ReplyJudgement &judged)
{
    switch (judged.outcome) {
    case LineOutcome::Good: return {judged.outcome, QStringLiteral(" Check CRC ok !")};
    case LineOutcome::NoAnswer: return {judged.outcome, QStringLiteral(" No Answer !")};
    case LineOutcome::CrcError: return {judged.outcome, QStringLiteral(" Check CRC Error !")};
    case LineOutcome::ExceptionReply: return {judged.outcome, writeRefusalText(judged.exceptionCode)};
    case LineOutcome::WrongReply: break;
    }
    return {judged.outcome, unrecognisedReplyText()};
}

bool WriteCycle::running() const
{
    const CycleTimer *timer = console_.line.Timer_Write();
    return timer && timer->isEnabled();
}

void WriteCycle::addWriteObserver(ParameterWriteObserver *observer)
{
    removeWriteObserver(observer);
    writeObservers_.push_back(observer);
}

void WriteCycle::removeWriteObserver(ParameterWriteObserver *observer)
{
    std::erase(writeObservers_, observer);
}

CycleTimer &WriteCycle::timerWrite() const
{
    CycleTimer *timer = console_.line.Timer_Write();
    if (!timer)
        throw Error(PortNotOpen, QStringLiteral("no write timer"));
    return *timer;
}

StatusPanels *WriteCycle::status() const
{
    if (remote_)
        return const_cast<StatusTexts *>(&remoteStatus_);
    return console_.parameterWindow ? &console_.parameterWindow->status() : nullptr;
}

int WriteCycle::targetSlot() const
{
    return remote_ ? remote_->slot : console_.line.Para_Slot();
}

std::uint8_t WriteCycle::id() const
{
    const int slot = targetSlot();
    if (!isSlot(slot))
        throw Error(SubscriptOutOfRange, QStringLiteral("slot %1").arg(slot));
    return console_.slots.SlotId[size_t(slot)];
}

std::int32_t WriteCycle::dpCode() const
{
    const int slot = targetSlot();
    if (!isSlot(slot))
        throw Error(SubscriptOutOfRange, QStringLiteral("slot %1").arg(slot));
    return console_.slots.Slot_DP_Code[size_t(slot)];
}

void WriteCycle::Set_Write_Interval(int ms2400, int ms4800, int ms9600, int ms19200)
{
    if (CycleTimer *timerWrite = console_.line.Timer_Write())
        setWait(*timerWrite, {ms2400, ms4800, ms9600, ms19200}, console_.settings.serial.Baud);
}

void WriteCycle::setInterval()
{
    Set_Write_Interval(WriteWait.ms2400, WriteWait.ms4800, WriteWait.ms9600, WriteWait.ms19200);
}

void WriteCycle::setReadAllInterval()
{
    Set_Write_Interval(AllParametersWait.ms2400, AllParametersWait.ms4800, AllParametersWait.ms9600,
                       AllParametersWait.ms19200);
}

// --- Starting ----------------------------------------------------------------

WriteCycle::Start WriteCycle::startSingleWrite(int address, WriteOrigin origin)
{
    // One write at a time: a second Enter must not cut off the reply of the first.
    if (running() || !console_.parameterWindow) {
        reporter_.beep();
        return Start::Busy;
    }
    if (address >= 0 && address < HoldingRegisterCount) {
        ParameterSource &source = console_.parameterWindow->source();
        const ParameterValue v = Get_Parameter_Value(address, source, dpCode());
        // A value that cannot go into a request is refused here, before
        // polling stops: nothing is sent, and the user learns why.
        if (v.status != ParameterValue::Ok) {
            console_.parameterWindow->status().setText(2, v.problem);
            return Start::Refused;
        }
        console_.line.aimWrite(std::int16_t(address), v.value);
        singleText_ = source.text(address).trimmed();
    } else {
        console_.line.aimWriteAt(std::int16_t(address));
        singleText_.clear();
    }
    singleOrigin_ = origin;
    transfer_ = Transfer::Single;
    console_.line.writeTakesLine(WriteMode::Single);
    // The first tick comes one interval of the current rate after Enter.
    setInterval();
    timerWrite().setEnabled(true);
    return Start::Started;
}

bool WriteCycle::lineFreeForRemoteWrite() const
{
    const LineOwner &line = console_.line;
    const CycleTimer *timerRead = line.Timer_Read();
    const ReadState state = line.Read_State();
    return !running() && line.portOpen() && timerRead && timerRead->isEnabled()
        && (state == ReadState::Select || state == ReadState::AwaitLive);
}

WriteCycle::Start WriteCycle::startRemoteWrite(WriteOrigin origin, int slot, int address, const QString &text,
                                               RemoteWriteDone done)
{
    const auto refuse = [&](const QString &reason) {
        if (done)
            done({false, {}, reason});
        return Start::Refused;
    };
    if (!isSlot(slot) || console_.slots.SlotId[size_t(slot)] == 0)
        return refuse(QStringLiteral("No controller !"));
    if (!lineFreeForRemoteWrite())
        return Start::Busy;
    const TypedValue typed(address, text);
    const ParameterValue v = Get_Parameter_Value(address, typed, console_.slots.Slot_DP_Code[size_t(slot)]);
    if (v.status != ParameterValue::Ok)
        return refuse(v.problem);
    remote_ = RemoteWrite{origin, slot, std::move(done)};
    remoteStatus_.setText(2, QString());
    console_.line.aimWrite(std::int16_t(address), v.value);
    singleText_ = text.trimmed();
    singleOrigin_ = origin;
    transfer_ = Transfer::Single;
    console_.line.writeTakesLine(WriteMode::Single);
    setInterval();
    timerWrite().setEnabled(true);
    return Start::Started;
}

bool WriteCycle::takesLine()
{
    // The line carries one exchange at a time, and the window's controls
    // must not be written while a write reads them.
    if (running() || !console_.line.Timer_Write() || !console_.parameterWindow) {
        reporter_.beep();
        return false;
    }
    console_.line.writeTakesLine(WriteMode::All);
    // The first request goes out one write interval from now, as a write-all's did.
    setInterval();
    return true;
}

bool WriteCycle::startDownload(DownloadPlan plan, DownloadView &view)
{
    if (plan.targets.empty() || plan.texts.size() != HoldingRegisterCount || !takesLine())
        return false;
    download_.emplace();
    download_->plan = std::move(plan);
    download_->view = &view;
    transfer_ = Transfer::Download;
    startTarget();
    view.setProgress(0);
    timerWrite().setEnabled(true);
    return true;
}

bool WriteCycle::startCompareRead(CompareView &view)
{
    if (!isSlot(console_.line.Para_Slot()) || !takesLine())
        return false;
    compareView_ = &view;
    transfer_ = Transfer::CompareRead;
    timerWrite().setEnabled(true);
    return true;
}

void WriteCycle::stopAndResumePolling()
{
    if (remote_)
        return;   // it gives the line back to polling itself, within three ticks
    if (CycleTimer *timer = console_.line.Timer_Write())
        timer->setEnabled(false);
    // The window that started it is going: it is told nothing more.
    if (inFlight_) {
        ParameterWrite write = *inFlight_;
        inFlight_.reset();
        write.at = console_.clock->now().toUTC();
        write.judged = false;
        for (ParameterWriteObserver *o : writeObservers_)
            o->parameterWritten(write);
    }
    endTransfer();
    console_.line.writeAbandoned(console_.settings.serial.Port != QLatin1String("CLOSE"));
}

void WriteCycle::endTransfer()
{
    transfer_ = Transfer::None;
    download_.reset();
    compareView_ = nullptr;
}

void WriteCycle::cutShort()
{
    if (inFlight_) {
        ParameterWrite write = *inFlight_;
        inFlight_.reset();
        write.at = console_.clock->now().toUTC();
        write.judged = false;
        for (ParameterWriteObserver *o : writeObservers_)
            o->parameterWritten(write);
    }
    DownloadView *downloadView = nullptr;
    std::optional<DownloadResult> unfinished;
    if (download_) {
        downloadView = download_->view;
        if (download_->step != Step::BackupRead) {
            unfinished = download_->result;
            unfinished->cutShort = true;
        }
    }
    CompareView *compareView = compareView_;
    endTransfer();
    if (downloadView) {
        if (unfinished)
            downloadView->controllerDone(*unfinished);
        downloadView->downloadEnded(false);
    }
    if (compareView)
        compareView->compareRead(std::nullopt, QStringLiteral("the read was stopped"));
}

// --- Ticks -------------------------------------------------------------------

void WriteCycle::Timer_Write_Timer() noexcept
{
    // A message box inside a tick runs a nested event loop; the next tick waits.
    if (inTick_)
        return;
    inTick_ = true;
    try {
        tick();
    } catch (...) {
        onError(currentExceptionAsError());
    }
    inTick_ = false;
}

void WriteCycle::tick()
{
    // With the window gone there is nothing to write from.
    if ((!remote_ && !console_.parameterWindow) || !console_.line.port()) {
        timerWrite().setEnabled(false);
        if (remote_)
            endRemoteWrite({false, {}, QStringLiteral("Serial port is not open !")});
        else
            cutShort();
        return;
    }
    if (!console_.line.portOpen()) {
        timerWrite().setEnabled(false);
        if (remote_) {
            endRemoteWrite({false, {}, QStringLiteral("Serial port is not open !")});
            return;
        }
        reporter_.beep();
        status()->setText(2, QStringLiteral("Serial port is not open !"));
        // The window must not stay locked in its download state.
        cutShort();
        return;
    }
    if (console_.line.takePendingSend()) {
        switch (transfer_) {
        case Transfer::Download: sendBackupRead(); break;
        case Transfer::CompareRead: sendCompareRead(); break;
        case Transfer::Single:
        case Transfer::None: sendSingle(); break;
        }
        return;
    }
    if (remote_ && remote_->readingBack) {
        readBackTick();
        return;
    }
    setInterval();
    const ReplyJudgement judged = console_.line.takeReply();
    switch (transfer_) {
    case Transfer::Download:
        switch (download_->step) {
        case Step::BackupRead: judgeBackupRead(judged); break;
        case Step::Write: judgeDownloadWrite(judgement(judged), judged); break;
        case Step::VerifyRead: judgeVerifyRead(judged); break;
        }
        break;
    case Transfer::CompareRead: judgeCompareRead(judged); break;
    case Transfer::Single:
    case Transfer::None: replySingle(judged); break;
    }
}

void WriteCycle::sendWrite(int slot, std::uint8_t id, int address, std::int32_t value, const QString &text,
                           WriteOrigin origin)
{
    if (console_.line.sendWrite(slot, id, std::int16_t(address), value)) {
        ParameterWrite write;
        write.slot = slot;
        write.controllerId = id;
        write.address = address;
        write.textBefore = console_.lastRead.text(id, address);
        write.textSent = text;
        write.value = value;
        write.origin = origin;
        inFlight_ = write;
    }
    setInterval();
}

void WriteCycle::writeJudged(const ReplyJudgement &judged)
{
    if (!inFlight_)
        return;   // nothing went out: no answer was awaited
    ParameterWrite write = *inFlight_;
    inFlight_.reset();
    write.at = console_.clock->now().toUTC();
    write.judged = true;
    write.outcome = judged.outcome;
    write.exceptionCode = judged.exceptionCode;
    for (ParameterWriteObserver *o : writeObservers_)
        o->parameterWritten(write);
}

void WriteCycle::sendReadAll(int slot, std::uint8_t id)
{
    console_.line.sendRead(Exchange::ReadAll, slot, id, 0, HoldingRegisterCount);
    setReadAllInterval();
}

void WriteCycle::showRead(int slot, std::uint8_t id, const ControllerParameters &read)
{
    // A slot bound to another controller meanwhile is not that controller's.
    if (!isSlot(slot) || console_.slots.SlotId[size_t(slot)] != id)
        return;
    std::int32_t &dpCode = console_.slots.Slot_DP_Code[size_t(slot)];
    dpCode = read.dpCode();
    if (!console_.parameterWindow || console_.line.Para_Slot() != slot)
        return;
    DisplayTargets targets;
    targets.parameterWindow = &console_.parameterWindow->controls();
    targets.Poll_Slot = console_.line.Poll_Slot();
    targets.Para_Slot = slot;
    Show_All_Parameters(console_.line.Reply_Buffer(), dpCode, targets);
}

// --- Single writes -----------------------------------------------------------

void WriteCycle::sendSingle()
{
    const int address = console_.line.Para_Index();
    if (address < 0 || address >= HoldingRegisterCount) {
        timerWrite().setEnabled(false);
        transfer_ = Transfer::None;
        status()->setText(2, unrecognisedReplyText());
        return;
    }
    const LineOwner &line = console_.line;
    status()->setText(2, writeText(address));
    sendWrite(targetSlot(), id(), address, line.Para_Value(), singleText_, singleOrigin_);
}

void WriteCycle::replySingle(const ReplyJudgement &judged)
{
    LineOwner &line = console_.line;
    const Judgement j = judgement(judged);
    line.reportJudged(Exchange::Write, targetSlot(), id(), j.outcome);
    writeJudged(judged);

    const int address = line.Para_Index();
    if (remote_) {
        status()->append(2, j.text);
        if (j.outcome != LineOutcome::Good) {
            endRemoteWrite({false, {}, j.text.trimmed()});
            return;
        }
        if (address == reg::BAUD)
            switchBaudRate();
        sendReadBack();
        return;
    }
    timerWrite().setEnabled(false);
    transfer_ = Transfer::None;
    status()->append(2, j.text);
    if (j.outcome != LineOutcome::Good)
        return;   // polling stays stopped until "Read All Parameters"
    if (address == reg::BAUD)
        switchBaudRate();
    if (address == reg::DP || address == reg::RUN)
        line.readAllParametersNext();
    else
        line.readParameterNext(std::int16_t(address));
}

void WriteCycle::switchBaudRate()
{
    // The controller echoed at the old rate and answers at the new one from
    // now on: the console follows, and remembers the rate.
    const QString baud = baudTextOf(console_.line.Para_Value());
    if (baud.isEmpty())
        return;
    ErrorTrap trap(reporter_, QStringLiteral("Timer_Write_Timer"));
    trap.step([&] {
        if (console_.serialSettingsWindow)
            console_.serialSettingsWindow().setComboControlBaud(baud);
    });
    trap.step([&] {
        console_.settings.serial.Baud = baud;
        saveSettingsRecords(console_.settingsPath(), {1}, console_.settings);
    });
    Open_Serial_Port(console_.line.openedPort(), console_.settings.serial);
    setInterval();
}

// --- Single writes asked for from outside the window --------------------------

void WriteCycle::sendReadBack()
{
    // The window reads a written value back through polling, which reads
    // from the window's controller; this one reads it from its own.
    remote_->readingBack = true;
    LineOwner &line = console_.line;
    line.sendRead(Exchange::ReadOne, targetSlot(), id(), line.Para_Index(), 1);
    setWait(timerWrite(), OneParameterWait, console_.settings.serial.Baud);
}

void WriteCycle::readBackTick()
{
    setInterval();
    LineOwner &line = console_.line;
    const int slot = targetSlot();
    const int address = line.Para_Index();
    const ReplyJudgement judged = line.takeReply();
    line.reportJudged(Exchange::ReadOne, slot, id(), judged.outcome);
    RemoteWriteResult result{true, {}, {}};
    if (judged.outcome != LineOutcome::Good) {
        result.reason = QStringLiteral("Read back: ") + judgement(judged).text.trimmed();
        endRemoteWrite(result);
        return;
    }
    ShownValue shown;
    DisplayTargets targets;
    targets.parameterWindow = &shown;
    targets.Poll_Slot = slot;
    targets.Para_Slot = slot;
    const QString problem = Show_Read_Back(line.Reply_Buffer(), address, dpCode(), targets);
    if (!problem.isEmpty()) {
        result.reason = QStringLiteral("Read back:") + problem;
    } else {
        result.value = shown.text();
        console_.lastRead.readOne(id(), address, result.value);
        // The slot's values are shown with the decimal places its controller
        // now has, as after the read of all parameters that follows a
        // write of DP from the window.
        if (address == reg::DP) {
            const int code = (std::uint8_t(line.Reply_Buffer()[3]) << 8) | std::uint8_t(line.Reply_Buffer()[4]);
            console_.slots.Slot_DP_Code[size_t(slot)] = (code < 47 || code > 50) ? 47 : code;
        }
    }
    endRemoteWrite(result);
}

void WriteCycle::endRemoteWrite(const RemoteWriteResult &result)
{
    if (CycleTimer *timer = console_.line.Timer_Write())
        timer->setEnabled(false);
    RemoteWriteDone done = std::move(remote_->done);
    remote_.reset();
    transfer_ = Transfer::None;
    // No one is there to press "Read All Parameters": polling goes on.
    console_.line.writeAbandoned(console_.settings.serial.Port != QLatin1String("CLOSE"));
    if (done)
        done(result);
}

// --- Downloads ---------------------------------------------------------------

const DownloadTarget &WriteCycle::target() const
{
    return download_->plan.targets.at(download_->target);
}

QString WriteCycle::statusPrefix() const
{
    // A copy names the controller it writes; the window shows another.
    if (download_->plan.origin != WriteOrigin::Copy)
        return {};
    return QStringLiteral("Copy to ID %1: ").arg(target().id);
}

void WriteCycle::startTarget()
{
    Download &d = *download_;
    d.step = Step::BackupRead;
    d.writes.clear();
    d.position = 0;
    d.accepted.clear();
    d.result = DownloadResult();
    d.result.slot = target().slot;
    d.result.controllerId = target().id;
}

void WriteCycle::sendBackupRead()
{
    if (StatusPanels *panels = status())
        panels->setText(2, statusPrefix() + QStringLiteral("Read All Parameters for Backup Please Wait ... "));
    sendReadAll(target().slot, target().id);
}

void WriteCycle::judgeBackupRead(const ReplyJudgement &judged)
{
    Download &d = *download_;
    const DownloadTarget t = target();
    console_.line.reportJudged(Exchange::ReadAll, t.slot, t.id, judged.outcome);
    const QString outcome = parameterReadText(judged);
    StatusPanels *panels = status();
    if (panels)
        panels->append(2, outcome);
    if (judged.outcome != LineOutcome::Good) {
        // Without a backup nothing is written.
        d.result.backupFailure = QStringLiteral("the backup read failed (%1)").arg(outcome);
        if (panels)
            panels->append(2, QStringLiteral(" Nothing was written."));
        targetDone();
        return;
    }
    const ControllerParameters before = ControllerParameters::fromReply(console_.line.Reply_Buffer());
    console_.lastRead.readAll(t.id, before.texts());
    d.dpCode = before.dpCode();
    if (isSlot(t.slot) && console_.slots.SlotId[size_t(t.slot)] == t.id)
        console_.slots.Slot_DP_Code[size_t(t.slot)] = before.dpCode();
    if (!takeBackup(before)) {
        if (panels)
            panels->append(2, QLatin1Char(' ') + downloadSummaryText(d.result));
        targetDone();
        return;
    }

    switch (d.plan.writes) {
    case DownloadPlan::Writes::All:
        d.writes.assign(writeAllOrder().begin(), writeAllOrder().end());
        break;
    case DownloadPlan::Writes::Listed:
        for (int a : writeAllOrder())
            if (contains(d.plan.listed, a))
                d.writes.push_back(a);
        break;
    case DownloadPlan::Writes::Differences:
        d.writes = addressesToWrite(compareParameters(before, d.plan.texts));
        break;
    }
    d.result.planned = int(d.writes.size());
    if (d.writes.empty()) {
        if (panels)
            panels->append(2, QLatin1Char(' ') + downloadSummaryText(d.result));
        targetDone();
        return;
    }
    d.step = Step::Write;
    sendNextWrite();
}

bool WriteCycle::takeBackup(const ControllerParameters &before)
{
    Download &d = *download_;
    const int id = target().id;
    const QString path = freeBackupPath(console_.programDir, console_.clock->now(), id);
    try {
        saveBackup(path, before.texts());
        d.result.backupPath = path;
        return true;
    } catch (...) {
        const Error e = currentExceptionAsError();
        d.result.backupFailure = QStringLiteral("the backup %1 was not saved (%2)").arg(path, e.description());
        // As a record file that cannot be written: loudly, and the program goes on.
        try {
            for (int i = 0; i < BackupFailureBeeps; ++i)
                reporter_.beep();
            reporter_.warn(ErrorTrap::title(), QStringLiteral("Your backup file ") + path
                               + QStringLiteral(" could not be written: ") + e.description()
                               + QStringLiteral("\r\nNothing was written to controller %1").arg(id));
        } catch (...) {
        }
        return false;
    }
}

void WriteCycle::sendNextWrite()
{
    Download &d = *download_;
    const DownloadTarget t = target();
    const ParameterTextsSource source(d.plan.texts);
    for (; d.position < d.writes.size(); ++d.position) {
        const int address = d.writes[d.position];
        const ParameterValue v = Get_Parameter_Value(address, source, d.dpCode);
        if (v.status == ParameterValue::Ok) {
            console_.line.aimWrite(std::int16_t(address), v.value);
            if (StatusPanels *panels = status())
                panels->setText(2, statusPrefix() + writeText(address));
            sendWrite(t.slot, t.id, address, v.value, d.plan.texts[address].trimmed(), d.plan.origin);
            d.view->setProgress(address);
            return;
        }
        // Nothing that could be sent: skipped, and counted as not written.
        d.result.notAccepted << parameterMnemonic(address);
    }
    sendVerifyRead();
}

void WriteCycle::judgeDownloadWrite(const Judgement &j, const ReplyJudgement &judged)
{
    Download &d = *download_;
    const DownloadTarget t = target();
    console_.line.reportJudged(Exchange::Write, t.slot, t.id, j.outcome);
    writeJudged(judged);
    const int address = d.writes.at(d.position);
    if (j.outcome == LineOutcome::Good) {
        ++d.result.accepted;
        d.accepted.push_back(address);
    } else {
        d.result.notAccepted << parameterMnemonic(address);
    }
    ++d.position;
    sendNextWrite();
}

void WriteCycle::sendVerifyRead()
{
    download_->step = Step::VerifyRead;
    if (StatusPanels *panels = status())
        panels->setText(2, statusPrefix() + QStringLiteral("Read All Parameters Please Wait ... "));
    sendReadAll(target().slot, target().id);
}

void WriteCycle::judgeVerifyRead(const ReplyJudgement &judged)
{
    Download &d = *download_;
    const DownloadTarget t = target();
    console_.line.reportJudged(Exchange::ReadAll, t.slot, t.id, judged.outcome);
    const QString outcome = parameterReadText(judged);
    if (judged.outcome == LineOutcome::Good) {
        const ControllerParameters after = ControllerParameters::fromReply(console_.line.Reply_Buffer());
        console_.lastRead.readAll(t.id, after.texts());
        // What the controller holds now, against what it was to hold: each
        // text taken with the controller's decimal point after the writes.
        const std::vector<ParameterDifference> differences = compareParameters(after, d.plan.texts);
        int verified = 0;
        for (int address : d.accepted) {
            const bool differs = std::any_of(differences.begin(), differences.end(),
                                             [address](const ParameterDifference &x) { return x.address == address; });
            if (differs)
                d.result.differAfter << parameterMnemonic(address);
            else
                ++verified;
        }
        d.result.verified = verified;
        showRead(t.slot, t.id, after);
    } else {
        d.result.verifyFailure = outcome;
    }
    if (StatusPanels *panels = status())
        panels->append(2, outcome + QLatin1Char(' ') + downloadSummaryText(d.result));
    targetDone();
}

void WriteCycle::targetDone()
{
    Download &d = *download_;
    d.view->controllerDone(d.result);
    if (++d.target < d.plan.targets.size()) {
        startTarget();
        sendBackupRead();
        return;
    }
    timerWrite().setEnabled(false);
    DownloadView *view = d.view;
    endTransfer();
    console_.line.resumeLivePolling();
    view->downloadEnded(true);
}

// --- Compare reads -----------------------------------------------------------

void WriteCycle::sendCompareRead()
{
    if (StatusPanels *panels = status())
        panels->setText(2, QStringLiteral("Read All Parameters Please Wait ... "));
    const int slot = console_.line.Para_Slot();
    sendReadAll(slot, id());
}

void WriteCycle::judgeCompareRead(const ReplyJudgement &judged)
{
    const int slot = console_.line.Para_Slot();
    const std::uint8_t controller = id();
    console_.line.reportJudged(Exchange::ReadAll, slot, controller, judged.outcome);
    const QString outcome = parameterReadText(judged);
    if (StatusPanels *panels = status())
        panels->append(2, outcome);
    timerWrite().setEnabled(false);
    CompareView *view = compareView_;
    endTransfer();
    console_.line.resumeLivePolling();
    if (judged.outcome != LineOutcome::Good) {
        view->compareRead(std::nullopt, outcome);
        return;
    }
    const ControllerParameters read = ControllerParameters::fromReply(console_.line.Reply_Buffer());
    console_.lastRead.readAll(controller, read.texts());
    showRead(slot, controller, read);
    view->compareRead(read, {});
}

void WriteCycle::onError(const Error &e) noexcept
{
    try {
        // The cycle ends here; the window is given back to the user.
        if (CycleTimer *timer = console_.line.Timer_Write())
            timer->setEnabled(false);
        if (remote_) {
            endRemoteWrite({false, {}, QStringLiteral("Wrong code: %1 ;Wrong reasons: %2").arg(e.number()).arg(e.description())});
            return;
        }
        cutShort();
        ErrorTrap(reporter_, QStringLiteral("Timer_Write_Timer")).report(e);
    } catch (...) {
        // Reporting failed too: the write is stopped, which is what matters.
    }
}

} // namespace orbalis
