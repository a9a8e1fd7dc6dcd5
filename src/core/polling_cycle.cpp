#include "polling_cycle.h"

#include "controller_parameters.h"
#include "live_value_store.h"
#include "reply_waits.h"

#include "base/error.h"
#include "link/exception_texts.h"
#include "model/display.h"
#include "model/register_map.h"
#include "state/open_serial_port.h"
#include "state/slot_painter.h"

namespace orbalis {

namespace {

// Panel 2 of the main window after a live-value reply.
QString liveText(const ReplyJudgement &judged)
{
    switch (judged.outcome) {
    case LineOutcome::Good: return QStringLiteral("Read PV ... Check CRC Ok !");
    case LineOutcome::NoAnswer: return QStringLiteral("Read PV ... No Answer !");
    case LineOutcome::CrcError: return QStringLiteral("Read PV ... Check CRC Error !");
    case LineOutcome::WrongReply: return QStringLiteral("Read PV ... Wrong Reply !");
    case LineOutcome::ExceptionReply: break;
    }
    return QStringLiteral("Read PV ...") + exceptionReplyText(judged.exceptionCode);
}

// The reply of the controller asked answers for the slot only while the
// slot is still bound to it: the panel settings may bind it to another
// controller before the reply comes.
ReplyJudgement forSlotOf(ReplyJudgement judged, std::uint8_t id)
{
    const bool answers = judged.outcome == LineOutcome::Good || judged.outcome == LineOutcome::ExceptionReply;
    if (answers && judged.replyId != id)
        judged = {LineOutcome::WrongReply, Mismatch::OtherId, 0, judged.replyId};
    return judged;
}

} // namespace

PollingCycle::PollingCycle(Console &console, StatusPanels &mainStatus, LiveValueStore &store,
                           SlotPainter &painter)
    : console_(console), mainStatus_(mainStatus), store_(store), painter_(painter)
{
}

QString PollingCycle::slotText(int slot, int id)
{
    return QStringLiteral("No.") + QString::number(slot + 1) + QStringLiteral(" Slot ; ID = ")
        + QString::number(id);
}

QString PollingCycle::portErrorText(int number)
{
    return QStringLiteral("Serial port error ! ;error number = ") + QString::number(number);
}

QString PollingCycle::trapText(const Error &e)
{
    return QStringLiteral("at Timer_Read_Timer() ;Wrong code: ") + QString::number(e.number())
        + QStringLiteral(" ;Wrong reasons: ") + e.description();
}

void PollingCycle::Set_Read_Interval(int ms2400, int ms4800, int ms9600, int ms19200)
{
    if (CycleTimer *timerRead = line().Timer_Read())
        setWait(*timerRead, {ms2400, ms4800, ms9600, ms19200}, console_.settings.serial.Baud);
}

void PollingCycle::setReadWait(const BaudWaits &wait)
{
    Set_Read_Interval(wait.ms2400, wait.ms4800, wait.ms9600, wait.ms19200);
}

void PollingCycle::Timer_Read_Timer() noexcept
{
    const ReadState state = line().Read_State();
    switch (state) {
    case ReadState::Select:
        run({[this] { selectAndSend(); }});
        return;
    case ReadState::ReadOne:
        sendParameterRead(false, QStringLiteral("Read Parameters Please Wait ... "), line().Para_Index(), 1,
                          OneParameterWait);
        return;
    case ReadState::ReadAll:
        sendParameterRead(true, QStringLiteral("Read All Parameters Please Wait ... "), 0, HoldingRegisterCount,
                          AllParametersWait);
        return;
    default:
        break;
    }

    bool judged = false;
    ReplyJudgement reply;
    if (!run({[&] {
            reply = line().takeReply();
            judged = true;
        }}))
        return;
    // A reply check that failed for a reason other than the port judged
    // nothing, and a state no one should set has nothing to show: either
    // way polling goes on.
    bool goOn = true;
    if (judged && state == ReadState::AwaitLive)
        goOn = judgeLiveReply(reply);
    else if (judged && (state == ReadState::AwaitOne || state == ReadState::AwaitAll))
        goOn = judgeParameterReply(state, reply);
    if (!goOn)
        return;
    run({[this] { line().nextPollSlot(); }, [this] { selectAndSend(); }});
}

bool PollingCycle::judgeLiveReply(const ReplyJudgement &judged)
{
    const int slot = line().Poll_Slot();
    // A late reply can pass its CRC check in a later exchange; taking it as
    // this slot's values would paint and record another controller's data.
    // The controller's refusal is its answer, but holds no values.
    bool valid = false;
    return run({[&] {
                    const std::uint8_t id = idOf(slot);
                    const ReplyJudgement answer = forSlotOf(judged, id);
                    valid = answer.outcome == LineOutcome::Good;
                    mainStatus_.setText(1, slotText(slot, id));
                    line().reportJudged(Exchange::Live, slot, id, answer.outcome);
                    mainStatus_.setText(2, liveText(answer));
                },
                [&] {
                    if (valid)
                        store_.Store_Live_Values();
                },
                [&] {
                    if (!valid)
                        return;
                    painter_.Show_Slot_Values(slot, line().Reply_Buffer(), dpCodeOf(slot));
                    liveValuesShown_ = true;
                }});
}

bool PollingCycle::judgeParameterReply(ReadState state, const ReplyJudgement &judged)
{
    // Only the window's controller's own, well-formed answer to this read is
    // decoded: another controller's reply, or one of another length, would
    // show values that are not this controller's.
    ReplyJudgement answer = judged;
    return run({[&] {
                    const int slot = line().Para_Slot();
                    const std::uint8_t id = isSlot(slot) ? idOf(slot) : 0;
                    answer = forSlotOf(judged, id);
                    line().reportJudged(state == ReadState::AwaitAll ? Exchange::ReadAll : Exchange::ReadOne, slot,
                                        id, answer.outcome);
                },
                [&] {
                    if (StatusPanels *status = parameterStatus())
                        status->append(2, parameterReadText(answer));
                },
                [&] {
                    if (answer.outcome == LineOutcome::Good)
                        showParameterReply(state);
                }});
}

void PollingCycle::showParameterReply(ReadState state)
{
    // With the window closed its slot is gone too: nothing to show it in.
    if (!isSlot(line().Para_Slot()))
        return;
    const DisplayTargets targets = parameterTargets();
    const int id = idOf(line().Para_Slot());
    std::int32_t &dpCode = dpCodeOf(line().Para_Slot());
    if (state == ReadState::AwaitAll) {
        Show_All_Parameters(line().Reply_Buffer(), dpCode, targets);
        console_.lastRead.readAll(id, ControllerParameters::fromReply(line().Reply_Buffer()).texts());
        return;
    }
    // Judged good already; the pass checks the function and length once
    // more and reports, rather than decodes, what it cannot read.
    const QString problem = Show_Read_Back(line().Reply_Buffer(), line().Para_Index(), dpCode, targets);
    if (!problem.isEmpty()) {
        if (StatusPanels *status = parameterStatus())
            status->append(2, problem);
    } else if (console_.parameterWindow) {
        // The window shows what was read back.
        const int address = line().Para_Index();
        console_.lastRead.readOne(id, address, console_.parameterWindow->source().text(address).trimmed());
    }
}

void PollingCycle::sendParameterRead(bool all, const QString &pleaseWait, std::int16_t address,
                                     std::int32_t count, const BaudWaits &wait)
{
    run({[&] {
             line().awaitParameterReply(all);
             if (StatusPanels *status = parameterStatus())
                 status->setText(2, pleaseWait);
         },
         [&] {
             const int slot = line().Para_Slot();
             line().sendRead(all ? Exchange::ReadAll : Exchange::ReadOne, slot, idOf(slot), address, count);
         },
         [&] { setReadWait(wait); }});
}

void PollingCycle::selectAndSend()
{
    const auto &ids = console_.slots.SlotId;
    bool anyBound = false;
    for (std::uint8_t id : ids)
        anyBound = anyBound || id != 0;
    if (!anyBound) {
        line().nextPollSlot();
        setReadWait(LiveValuesWait);
        return;
    }
    while (ids[std::size_t(line().Poll_Slot())] == 0)
        line().nextPollSlot();
    line().awaitLiveReply();
    const int slot = line().Poll_Slot();
    line().sendRead(Exchange::Live, slot, ids[std::size_t(slot)], InputRegisterBase, InputRegisterCount);
    setReadWait(LiveValuesWait);
}

bool PollingCycle::run(std::initializer_list<std::function<void()>> statements) noexcept
{
    for (const auto &statement : statements)
        if (step(statement) == Trap::EndTick)
            return false;
    return true;
}

PollingCycle::Trap PollingCycle::step(const std::function<void()> &statement) noexcept
{
    try {
        statement();
        return Trap::Continue;
    } catch (...) {
        return onError(currentExceptionAsError());
    }
}

PollingCycle::Trap PollingCycle::onError(const Error &e) noexcept
{
    try {
        line().dropExchange();
        switch (e.number()) {
        case InvalidPortNumber:
        case PortNotOpen:
        case ReadError:
        case DeviceControlBlock:
            mainStatus_.setText(2, portErrorText(e.number()));
            Open_Serial_Port(line().openedPort(), console_.settings.serial);
            mainStatus_.setText(2, portTroubleText(e.number()));
            return Trap::EndTick;
        case DeviceNotOpen:
            mainStatus_.setText(2, portErrorText(e.number()));
            if (line().portOpen())
                line().openedPort().setPortOpen(false);
            mainStatus_.setText(2, portTroubleText(e.number()));
            return Trap::EndTick;
        default:
            mainStatus_.setText(2, trapText(e));
            return Trap::Continue;
        }
    } catch (...) {
        // A port that cannot even be closed: the next tick's read reports it.
        return Trap::EndTick;
    }
}

QString PollingCycle::portTroubleText(int number) const
{
    QString text = portErrorText(number);
    // Open again: the next reply tells how the line is.
    const SerialPort *port = line().port();
    if (!port || port->PortOpen())
        return text;
    const SerialPort::BoundDevice device = port->boundDevice();
    if (device.name.isEmpty())
        return text;
    if (device.missing)
        text += QStringLiteral(" ;waiting for ") + device.name + QStringLiteral(" to come back");
    else if (number == DeviceNotOpen || number == PortNotOpen || number == ReadError)
        text += QStringLiteral(" ;") + device.name + QStringLiteral(" went away");
    else
        return text;
    // The panel keeps what it painted last; say that it is no longer live.
    if (liveValuesShown_)
        text += QStringLiteral(" ;the values shown are the last ones received");
    return text;
}

std::uint8_t PollingCycle::idOf(int slot) const
{
    if (!isSlot(slot))
        throw Error(SubscriptOutOfRange, QStringLiteral("slot ") + QString::number(slot));
    return console_.slots.SlotId[std::size_t(slot)];
}

std::int32_t &PollingCycle::dpCodeOf(int slot) const
{
    if (!isSlot(slot))
        throw Error(SubscriptOutOfRange, QStringLiteral("slot ") + QString::number(slot));
    return console_.slots.Slot_DP_Code[std::size_t(slot)];
}

StatusPanels *PollingCycle::parameterStatus() const
{
    return console_.parameterWindow ? &console_.parameterWindow->status() : nullptr;
}

DisplayTargets PollingCycle::parameterTargets() const
{
    DisplayTargets t;
    t.parameterWindow = console_.parameterWindow ? &console_.parameterWindow->controls() : nullptr;
    t.Poll_Slot = line().Poll_Slot();
    t.Para_Slot = line().Para_Slot();
    return t;
}

} // namespace orbalis
