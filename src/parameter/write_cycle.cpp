#include "write_cycle.h"

#include "base/error.h"
#include "base/error_trap.h"
#include "base/reporter.h"
#include "link/exception_texts.h"
#include "link/frames.h"
#include "link/reply_judge.h"
#include "model/parameter_value.h"
#include "model/register_map.h"
#include "settings/settings_store.h"
#include "state/open_serial_port.h"

namespace orbalis {

namespace {

constexpr int WriteWait[4] = {800, 400, 200, 100};
constexpr int BaudAddress = 53;
constexpr int RunAddress = 15;
// The last write of a write-all; the cycle ends after its reply.
constexpr int LastWriteAllAddress = RunAddress;

bool isSlot(int slot)
{
    return slot >= 0 && slot < SlotCount;
}

QString mnemonicOf(int address)
{
    const RegisterInfo *r = findRegister(address);
    return r ? QString::fromLatin1(r->mnemonic.data(), qsizetype(r->mnemonic.size())) : QString();
}

// The baud text a "BAUD" choice code stands for; empty outside the list.
QString baudTextOf(std::int32_t code)
{
    const RegisterInfo *r = findRegister(BaudAddress);
    const Enumeration &e = *r->enumeration;
    if (code < e.firstCode || code > e.lastCode())
        return {};
    const std::string_view item = e.items[size_t(code - e.firstCode)];
    return QString::fromLatin1(item.data(), qsizetype(item.size()));
}

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
    return console_.Timer_Write && console_.Timer_Write->isEnabled();
}

StatusPanels *WriteCycle::status() const
{
    return console_.parameterWindow ? &console_.parameterWindow->status() : nullptr;
}

std::uint8_t WriteCycle::id() const
{
    if (!isSlot(console_.Para_Slot))
        throw Error(SubscriptOutOfRange, QStringLiteral("slot %1").arg(console_.Para_Slot));
    return console_.slots.SlotId[size_t(console_.Para_Slot)];
}

std::int32_t WriteCycle::dpCode() const
{
    if (!isSlot(console_.Para_Slot))
        throw Error(SubscriptOutOfRange, QStringLiteral("slot %1").arg(console_.Para_Slot));
    return console_.slots.Slot_DP_Code[size_t(console_.Para_Slot)];
}

void WriteCycle::Set_Write_Interval(int ms2400, int ms4800, int ms9600, int ms19200)
{
    if (!console_.Timer_Write)
        return;
    const QString &baud = console_.settings.serial.Baud;
    if (baud == QLatin1String("2400"))
        console_.Timer_Write->setInterval(ms2400);
    else if (baud == QLatin1String("4800"))
        console_.Timer_Write->setInterval(ms4800);
    else if (baud == QLatin1String("9600"))
        console_.Timer_Write->setInterval(ms9600);
    else if (baud == QLatin1String("19200"))
        console_.Timer_Write->setInterval(ms19200);
}

void WriteCycle::setInterval()
{
    Set_Write_Interval(WriteWait[0], WriteWait[1], WriteWait[2], WriteWait[3]);
}

WriteCycle::Start WriteCycle::startSingleWrite(int address)
{
    // One write at a time: a second Enter must not cut off the reply of the first.
    if (running() || !console_.parameterWindow) {
        reporter_.beep();
        return Start::Busy;
    }
    console_.Para_Index = std::int16_t(address);
    if (address >= 0 && address < HoldingRegisterCount) {
        const ParameterValue v = Get_Parameter_Value(address, console_.parameterWindow->source(), dpCode());
        // A value that cannot go into a request is refused here, before
        // polling stops: nothing is sent, and the user learns why.
        if (v.status != ParameterValue::Ok) {
            console_.parameterWindow->status().setText(2, v.problem);
            return Start::Refused;
        }
        console_.Para_Value = v.value;
    }
    if (console_.Timer_Read && console_.Timer_Read->isEnabled())
        console_.Timer_Read->setEnabled(false);
    writeAllView_ = nullptr;
    console_.Write_Mode = 0;
    console_.Send_Pending = true;
    // The first tick comes one interval of the current rate after Enter.
    setInterval();
    console_.Timer_Write->setEnabled(true);
    return Start::Started;
}

void WriteCycle::startWriteAll(WriteAllView &view)
{
    if (console_.Timer_Write)
        console_.Timer_Write->setEnabled(false);
    writeAllView_ = &view;
    position_ = 0;
    accepted_ = 0;
    notAccepted_.clear();
    view.setProgress(0);
    if (console_.Timer_Read && console_.Timer_Read->isEnabled())
        console_.Timer_Read->setEnabled(false);
    console_.Write_Mode = 1;
    console_.Send_Pending = true;
    setInterval();
    console_.Timer_Write->setEnabled(true);
}

void WriteCycle::stopAndResumePolling()
{
    if (console_.Timer_Write)
        console_.Timer_Write->setEnabled(false);
    console_.Send_Pending = false;
    writeAllView_ = nullptr;
    console_.Read_State = ReadState::Select;
    if (console_.Timer_Read && console_.settings.serial.Port != QLatin1String("CLOSE"))
        console_.Timer_Read->setEnabled(true);
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
    if (!console_.parameterWindow || !console_.port) {
        console_.Timer_Write->setEnabled(false);
        writeAllView_ = nullptr;
        return;
    }
    if (!console_.port->PortOpen()) {
        console_.Timer_Write->setEnabled(false);
        reporter_.beep();
        status()->setText(2, QStringLiteral("Serial port is not open !"));
        // The window must not stay locked in its write-all state.
        if (writingAll())
            endWriteAll(false);
        return;
    }
    if (console_.Send_Pending) {
        console_.Send_Pending = false;
        if (console_.Write_Mode == 1 && writingAll())
            sendWriteAllFrom(0);
        else
            sendSingle();
        return;
    }
    replyTick();
}

void WriteCycle::sendSingle()
{
    if (console_.Para_Index < 0 || console_.Para_Index >= HoldingRegisterCount) {
        console_.Timer_Write->setEnabled(false);
        status()->setText(2, unrecognisedReplyText());
        return;
    }
    sendWrite();
}

void WriteCycle::sendWrite()
{
    status()->setText(2, writeText(console_.Para_Index));
    const std::uint8_t to = id();
    if (Send_Write_Request(*console_.port, console_.line, to, console_.Para_Index, console_.Para_Value))
        console_.lineObservers.requestSent(Exchange::Write, console_.Para_Slot, to, requestBytes(console_.line));
    setInterval();
}

void WriteCycle::replyTick()
{
    setInterval();
    const Judgement j = judgement(takeJudgedReply(*console_.port, console_.line));
    console_.lineObservers.replyJudged(Exchange::Write, console_.Para_Slot, id(), console_.line.Reply_Buffer,
                                       j.outcome);

    if (writingAll()) {
        if (j.outcome == LineOutcome::Good)
            ++accepted_;
        else
            notAccepted_ << mnemonicOf(console_.Para_Index);
        if (console_.Para_Index == LastWriteAllAddress)
            endWriteAll(true);
        else
            sendWriteAllFrom(position_ + 1);
        return;
    }

    console_.Timer_Write->setEnabled(false);
    status()->append(2, j.text);
    if (j.outcome != LineOutcome::Good)
        return;   // polling stays stopped until "Read All Parameters"
    if (console_.Para_Index == BaudAddress)
        switchBaudRate();
    const bool readAll = console_.Para_Index == DecimalPointAddress || console_.Para_Index == RunAddress;
    console_.Read_State = readAll ? ReadState::ReadAll : ReadState::ReadOne;
    if (console_.Timer_Read)
        console_.Timer_Read->setEnabled(true);
}

void WriteCycle::switchBaudRate()
{
    // The controller echoed at the old rate and answers at the new one from
    // now on: the console follows, and remembers the rate.
    const QString baud = baudTextOf(console_.Para_Value);
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
    Open_Serial_Port(*console_.port, console_.settings.serial);
    setInterval();
}

void WriteCycle::sendWriteAllFrom(size_t position)
{
    const auto &order = allWriteOrder();
    for (; position < order.size(); ++position) {
        const int address = order[position];
        console_.Para_Index = std::int16_t(address);
        const ParameterValue v = Get_Parameter_Value(address, console_.parameterWindow->source(), dpCode());
        if (v.status == ParameterValue::Ok) {
            console_.Para_Value = v.value;
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
    console_.Timer_Write->setEnabled(false);
    WriteAllView *view = writeAllView_;
    writeAllView_ = nullptr;
    if (!view)
        return;
    view->writeAllEnded(completed ? summaryText(accepted_, notAccepted_) : QString());
    if (!completed)
        return;
    console_.Read_State = ReadState::ReadAll;
    if (console_.Timer_Read)
        console_.Timer_Read->setEnabled(true);
    view->setProgress(LastWriteAllAddress);
}

void WriteCycle::onError(const Error &e) noexcept
{
    try {
        // The write ends here; the window is given back to the user.
        if (console_.Timer_Write)
            console_.Timer_Write->setEnabled(false);
        if (writingAll())
            endWriteAll(false);
        ErrorTrap(reporter_, QStringLiteral("Timer_Write_Timer")).report(e);
    } catch (...) {
        // Reporting failed too: the write is stopped, which is what matters.
    }
}

} // namespace orbalis
