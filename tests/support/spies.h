#pragma once

#include "base/error.h"
#include "core/live_value_store.h"
#include "core/parameter_write.h"
#include "state/console.h"
#include "state/line_observer.h"
#include "state/slot_painter.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QPair>
#include <algorithm>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

namespace orbalis::test {

// Everything the cycles report of the line, in order, with the time of each
// report (ms since the spy was made).
class LineSpy : public LineObserver {
public:
    struct Entry {
        qint64 at;
        bool sent;
        Exchange exchange;
        int slot;
        int id;
        QByteArray bytes;                        // the request, or the reply judged
        LineOutcome outcome = LineOutcome::Good; // judged entries only
    };

    LineSpy() { clock.start(); }

    void requestSent(Exchange exchange, int slot, std::uint8_t id, const QByteArray &frame) override
    {
        entries << Entry{clock.elapsed(), true, exchange, slot, id, frame};
    }
    void replyJudged(Exchange exchange, int slot, std::uint8_t id, const QByteArray &reply,
                     LineOutcome outcome) override
    {
        entries << Entry{clock.elapsed(), false, exchange, slot, id, reply, outcome};
    }

    // The first entry from `from` on that was sent (or judged) for one of
    // the exchanges; -1 when there is none yet.
    qsizetype find(qsizetype from, bool sent, std::initializer_list<Exchange> exchanges) const
    {
        for (qsizetype i = std::max<qsizetype>(from, 0); i < entries.size(); ++i)
            if (entries[i].sent == sent
                && std::find(exchanges.begin(), exchanges.end(), entries[i].exchange) != exchanges.end())
                return i;
        return -1;
    }
    int sentCount() const
    {
        return int(std::count_if(entries.begin(), entries.end(), [](const Entry &e) { return e.sent; }));
    }
    // The IDs and frames of the requests of one exchange.
    QList<QPair<int, QByteArray>> requests(Exchange exchange) const
    {
        QList<QPair<int, QByteArray>> out;
        for (const Entry &e : entries)
            if (e.sent && e.exchange == exchange)
                out << QPair<int, QByteArray>(e.id, e.bytes);
        return out;
    }
    // How the replies of one exchange were judged.
    QList<LineOutcome> outcomes(Exchange exchange) const
    {
        QList<LineOutcome> out;
        for (const Entry &e : entries)
            if (!e.sent && e.exchange == exchange)
                out << e.outcome;
        return out;
    }
    void clear() { entries.clear(); }

    QElapsedTimer clock;
    QList<Entry> entries;
};

// The slot painter's calls, noted instead of painted. Like the slot panel it
// refuses a reply too short to paint (Error 9) and then notes nothing.
class SlotPainterSpy : public SlotPainter {
public:
    // A frame repaint notes the name and ID the console holds at that moment,
    // as the panel paints them from there; without a console it notes none.
    explicit SlotPainterSpy(const Console *console = nullptr) : console_(console) {}

    void Show_Slot_Values(int slot, const QByteArray &reply, std::int32_t dpCode) override
    {
        if (reply.size() < 11)
            throw Error(SubscriptOutOfRange);
        painted.push_back(slot);
        replies.push_back(reply);
        dpCodes.push_back(dpCode);
        if (onPaint)
            onPaint(slot, reply);
    }
    void paintPenIcon(int slot, bool recording) override { pens.emplace_back(slot, recording); }
    void repaintFrameWithName(int slot) override
    {
        framed.push_back(slot);
        if (!console_)
            return;
        namesSeen.push_back(console_->settings.panel.NameText.at(std::size_t(slot)));
        idsSeen.push_back(console_->slots.SlotId.at(std::size_t(slot)));
    }

    std::vector<int> painted;          // Show_Slot_Values: the slots in order,
    std::vector<QByteArray> replies;   // the replies they were painted from
    std::vector<std::int32_t> dpCodes; // and their decimal-point codes
    std::vector<std::pair<int, bool>> pens;
    std::vector<int> framed; // repaintFrameWithName
    std::vector<QString> namesSeen;
    std::vector<int> idsSeen;
    // Told of every paint after it was noted (to log it among other steps).
    std::function<void(int slot, const QByteArray &reply)> onPaint;

private:
    const Console *console_;
};

// Store_Live_Values noted: the slot polled and the reply it would decode.
class LiveValueStoreSpy : public LiveValueStore {
public:
    explicit LiveValueStoreSpy(const Console &console) : console_(console) {}
    void Store_Live_Values() noexcept override
    {
        stored.emplace_back(console_.line.Poll_Slot(), console_.line.Reply_Buffer());
        if (onStore)
            onStore(stored.back().first, stored.back().second);
    }
    std::vector<std::pair<int, QByteArray>> stored;
    std::function<void(int slot, const QByteArray &reply)> onStore;

private:
    const Console &console_;
};

// Every write the write cycle tells of.
struct WriteLog : ParameterWriteObserver {
    std::vector<ParameterWrite> writes;
    void parameterWritten(const ParameterWrite &w) override { writes.push_back(w); }
};

} // namespace orbalis::test
