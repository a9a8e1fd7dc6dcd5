#include "write_cycle.h"

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

namespace orbalis {

namespace {

// The last write of a write-all; the cycle ends after its reply.
constexpr int LastWriteAllAddress = reg::RUN;

QString mnemonicOf(int address)
{
    const RegisterInfo *r = findRegister(address);
    return r ? QString::fromLatin1(r->mnemonic.data(), qsizetype(r->mnemonic.size())) : QString();
}

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

std::array<int, 106> writeAllOrder()
{
    std::array<int, 106> order{};
    size_t n = 0;
    for (int a = 0; a <= 13; ++a)
        order[n++] = a;
    for (int a = 16; a <= 52; ++a)
        order[n++] = a;
    for (int a = 55; a <= 108; ++a)
        order[n++] = a;
    order[n++] = LastWriteAllAddress;
    return order;
}

} // namespace

WriteCycle::WriteCycle(Console &console, Reporter &reporter) : console_(console), reporter_(reporter) {}

const std::array<int, 106> &WriteCycle::allWriteOrder()
{
    static const std::array<int, 106> order = writeAllOrder();
    return order;
}

QString WriteCycle::writeText(int address)
{
    return QStringLiteral("Write ") + mnemonicOf(address) + QStringLiteral(" Parameters ,Please Wait ... ");
}

QString WriteCycle::summaryText(int accepted, const QStringList &notAccepted)
{
    QString text = QStringLiteral("Written %1 of %2").arg(accepted).arg(allWriteOrder().size());
    if (!notAccepted.isEmpty())
        text += QStringLiteral("; not accepted: ") + notAccepted.join(QStringLiteral(", "));
    return text;
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

WriteCycle::Start WriteCycle::startSingleWrite(int address)
{
    // One write at a time: a second Enter must not cut off the reply of the first.
    if (running() || !console_.parameterWindow) {
        reporter_.beep();
        return Start::Busy;
    }
    if (address >= 0 && address < HoldingRegisterCount) {
        const ParameterValue v = Get_Parameter_Value(address, console_.parameterWindow->source(), dpCode());
        // A value that cannot go into a request is refused here, before
        // polling stops: nothing is sent, and the user learns why.
        if (v.status != ParameterValue::Ok) {
            console_.parameterWindow->status().setText(2, v.problem);
            return Start::Refused;
        }
        console_.line.aimWrite(std::int16_t(address), v.value);
    } else {
        console_.line.aimWriteAt(std::int16_t(address));
    }
    writeAllView_ = nullptr;
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
    writeAllView_ = nullptr;
    console_.line.aimWrite(std::int16_t(address), v.value);
    console_.line.writeTakesLine(WriteMode::Single);
    setInterval();
    timerWrite().setEnabled(true);
    return Start::Started;
}

void WriteCycle::startWriteAll(WriteAllView &view)
{
    timerWrite().setEnabled(false);
    writeAllView_ = &view;
    position_ = 0;
    accepted_ = 0;
    notAccepted_.clear();
    view.setProgress(0);
    console_.line.writeTakesLine(WriteMode::All);
    setInterval();
    timerWrite().setEnabled(true);
}

void WriteCycle::stopAndResumePolling()
{
    if (remote_)
        return;   // it gives the line back to polling itself, within three ticks
    if (CycleTimer *timer = console_.line.Timer_Write())
        timer->setEnabled(false);
    writeAllView_ = nullptr;
    console_.line.writeAbandoned(console_.settings.serial.Port != QLatin1String("CLOSE"));
}

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
        writeAllView_ = nullptr;
        if (remote_)
            endRemoteWrite({false, {}, QStringLiteral("Serial port is not open !")});
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
        // The window must not stay locked in its write-all state.
        if (writingAll())
            endWriteAll(false);
        return;
    }
    if (console_.line.takePendingSend()) {
        if (console_.line.Write_Mode() == WriteMode::All && writingAll())
            sendWriteAllFrom(0);
        else
            sendSingle();
        return;
    }
    if (remote_ && remote_->readingBack) {
        readBackTick();
        return;
    }
    replyTick();
}

void WriteCycle::sendSingle()
{
    const int address = console_.line.Para_Index();
    if (address < 0 || address >= HoldingRegisterCount) {
        timerWrite().setEnabled(false);
        status()->setText(2, unrecognisedReplyText());
        return;
    }
    sendWrite();
}

void WriteCycle::sendWrite()
{
    const LineOwner &line = console_.line;
    status()->setText(2, writeText(line.Para_Index()));
    console_.line.sendWrite(targetSlot(), id(), line.Para_Index(), line.Para_Value());
    setInterval();
}

void WriteCycle::replyTick()
{
    setInterval();
    LineOwner &line = console_.line;
    const Judgement j = judgement(line.takeReply());
    line.reportJudged(Exchange::Write, targetSlot(), id(), j.outcome);

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
    if (writingAll()) {
        if (j.outcome == LineOutcome::Good)
            ++accepted_;
        else
            notAccepted_ << mnemonicOf(address);
        if (address == LastWriteAllAddress)
            endWriteAll(true);
        else
            sendWriteAllFrom(position_ + 1);
        return;
    }

    timerWrite().setEnabled(false);
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
    // No one is there to press "Read All Parameters": polling goes on.
    console_.line.writeAbandoned(console_.settings.serial.Port != QLatin1String("CLOSE"));
    if (done)
        done(result);
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

void WriteCycle::sendWriteAllFrom(size_t position)
{
    const auto &order = allWriteOrder();
    for (; position < order.size(); ++position) {
        const int address = order[position];
        const ParameterValue v = Get_Parameter_Value(address, console_.parameterWindow->source(), dpCode());
        if (v.status == ParameterValue::Ok) {
            console_.line.aimWrite(std::int16_t(address), v.value);
            position_ = position;
            sendWrite();
            writeAllView_->setProgress(address);
            return;
        }
        // Nothing that could be sent: skipped, and counted as not written.
        notAccepted_ << mnemonicOf(address);
    }
    endWriteAll(true);
}

void WriteCycle::endWriteAll(bool completed)
{
    timerWrite().setEnabled(false);
    WriteAllView *view = writeAllView_;
    writeAllView_ = nullptr;
    if (!view)
        return;
    view->writeAllEnded(completed ? summaryText(accepted_, notAccepted_) : QString());
    if (!completed)
        return;
    console_.line.readAllParametersNext();
    view->setProgress(LastWriteAllAddress);
}

void WriteCycle::onError(const Error &e) noexcept
{
    try {
        // The write ends here; the window is given back to the user.
        if (CycleTimer *timer = console_.line.Timer_Write())
            timer->setEnabled(false);
        if (remote_) {
            endRemoteWrite({false, {}, QStringLiteral("Wrong code: %1 ;Wrong reasons: %2").arg(e.number()).arg(e.description())});
            return;
        }
        if (writingAll())
            endWriteAll(false);
        ErrorTrap(reporter_, QStringLiteral("Timer_Write_Timer")).report(e);
    } catch (...) {
        // Reporting failed too: the write is stopped, which is what matters.
    }
}

} // namespace orbalis
