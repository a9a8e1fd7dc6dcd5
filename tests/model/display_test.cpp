#include "model/display.h"
#include "model/live_value_table.h"
#include "model/register_map.h"

#include "base/error.h"
#include "support/errors.h"
#include "support/fakes.h"
#include "support/replies.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

using namespace orbalis;
using orbalis::test::errorNumberOf;
using orbalis::test::readReply;
using orbalis::test::RecordingSink;

namespace {

struct Windows {
    RecordingSink parameter;
    RecordingSink live;
    DisplayTargets targets(int pollSlot = 0, int paraSlot = 0)
    {
        return {&parameter, &live, pollSlot, paraSlot};
    }
};

// Replies of controller 1 whose register a holds values[a] where given, else 0.
QByteArray readAllReply(const std::map<int, std::uint16_t> &values) { return test::readAllReply(1, values); }
QByteArray liveReply(const std::map<int, std::uint16_t> &values) { return test::liveReply(1, values); }

} // namespace

TEST(DisplayRoutines, TargetRule)
{
    const QByteArray reply = readReply(1, 3, {123});
    {
        // Window on slot 3, reply from slot 5: live boxes only.
        Windows w;
        Show_Signed_Value(reply, 3, 4, 4114, w.targets(5, 3));
        EXPECT_EQ(w.live.texts.value(4114), "123");
        EXPECT_FALSE(w.parameter.texts.contains(4114));
    }
    {
        // Reply from the window's own slot: both.
        Windows w;
        Show_Signed_Value(reply, 3, 4, 4114, w.targets(3, 3));
        EXPECT_EQ(w.live.texts.value(4114), "123");
        EXPECT_EQ(w.parameter.texts.value(4114), "123");
    }
    {
        // Holding registers never reach the live boxes, whatever the slots.
        Windows w;
        Show_Signed_Value(reply, 3, 4, 54, w.targets(5, 3));
        EXPECT_EQ(w.parameter.texts.value(54), "123");
        EXPECT_TRUE(w.live.texts.isEmpty());
    }
    {
        // No window open: live values still reach the boxes, nothing breaks.
        RecordingSink live;
        const DisplayTargets t{nullptr, &live, 16, 16};
        Show_Signed_Value(reply, 3, 4, 4124, t);
        Show_Signed_Value(reply, 3, 4, 54, t);
        Show_Choice_Value(reply, 3, 4, 12, 0, 6, t);
        EXPECT_EQ(live.texts.value(4124), "123");
        EXPECT_EQ(live.writes, 1);
    }
}

TEST(DisplayRoutines, PositionsOutsideTheReplyRaiseError9BeforeWriting)
{
    Windows w;
    const DisplayTargets t = w.targets();
    const QByteArray reply = readReply(1, 3, {1});   // 7 bytes
    EXPECT_EQ(errorNumberOf([&] { Show_Unsigned_Value(reply, 7, 8, 1, t); }), SubscriptOutOfRange);
    EXPECT_EQ(errorNumberOf([&] { Show_Signed_Value(reply, -1, 0, 1, t); }), SubscriptOutOfRange);
    EXPECT_EQ(errorNumberOf([&] { Show_Time_Value(reply, 4, 4101, t); }), SubscriptOutOfRange);
    EXPECT_EQ(errorNumberOf([&] { Show_Choice_Value({}, 3, 4, 12, 0, 6, t); }), SubscriptOutOfRange);
    EXPECT_EQ(w.parameter.writes + w.live.writes, 0);
}

TEST(ReadAllPass, TakesTheDecimalPointFirstAndShowsEveryParameter)
{
    Windows w;
    std::int32_t dp = 48;
    const QByteArray reply = readAllReply({{0, 1234},     // SV, Scaled
                                           {2, 65535},    // SOFT, Tenths
                                           {6, 2},        // A1FU "A_LO"
                                           {7, 12},       // A1MD out of range
                                           {8, 30},       // A1DT, Unsigned
                                           {45, 49},      // DP: two decimals
                                           {54, 7},       // ID, Signed
                                           {66, 65535},   // JP1: signed in this pass
                                           {75, 80},      // SF3 "End"
                                           {108, 65531}});
    Show_All_Parameters(reply, dp, w.targets(5, 3));
    EXPECT_EQ(dp, 49);
    EXPECT_EQ(w.parameter.texts.value(0), "12.34");
    EXPECT_EQ(w.parameter.texts.value(2), "-0.1");
    EXPECT_EQ(w.parameter.selections.value(6), 2);
    EXPECT_EQ(w.parameter.selections.value(7), 0);
    EXPECT_EQ(w.parameter.texts.value(8), "30");
    EXPECT_EQ(w.parameter.selections.value(45), 2);
    EXPECT_EQ(w.parameter.texts.value(54), "7");
    EXPECT_EQ(w.parameter.texts.value(66), "-1");
    EXPECT_EQ(w.parameter.selections.value(75), 8);
    EXPECT_EQ(w.parameter.texts.value(108), "-0.05");
    // Every address once: 85 texts and 24 selections.
    EXPECT_EQ(w.parameter.texts.size(), 85);
    EXPECT_EQ(w.parameter.selections.size(), 24);
    EXPECT_EQ(w.parameter.writes, HoldingRegisterCount);
    EXPECT_TRUE(w.live.texts.isEmpty());
}

TEST(ReadAllPass, DecimalPointOutsideItsRangeMeansNoDecimals)
{
    for (std::uint16_t code : {0, 46, 51, 65535}) {
        Windows w;
        std::int32_t dp = 48;
        Show_All_Parameters(readAllReply({{45, code}, {0, 255}}), dp, w.targets());
        EXPECT_EQ(dp, 47) << code;
        EXPECT_EQ(w.parameter.texts.value(0), "255") << code;
        EXPECT_EQ(w.parameter.selections.value(45), 0) << code;
    }
}

TEST(ReadAllPass, ShortReplies)
{
    const QByteArray full = readAllReply({{45, 50}, {0, 5}});
    {
        // Too short to hold "DP": nothing changes, not even the code.
        Windows w;
        std::int32_t dp = 48;
        EXPECT_EQ(errorNumberOf([&] { Show_All_Parameters(full.left(94), dp, w.targets()); }),
                  SubscriptOutOfRange);
        EXPECT_EQ(dp, 48);
        EXPECT_EQ(w.parameter.writes, 0);
    }
    {
        // Cut inside register 60: the registers before it are shown, then error 9.
        Windows w;
        std::int32_t dp = 48;
        EXPECT_EQ(errorNumberOf([&] { Show_All_Parameters(full.left(3 + 2 * 60 + 1), dp, w.targets()); }),
                  SubscriptOutOfRange);
        EXPECT_EQ(dp, 50);
        EXPECT_EQ(w.parameter.texts.value(0), "0.005");
        EXPECT_EQ(w.parameter.writes, 60);
    }
}

TEST(ReadBackPass, ShowsOneRegisterByItsKind)
{
    struct Case {
        int address;
        std::uint16_t value;
        const char *text;
    };
    for (const Case &c : {Case{0, 65521, "-1.5"}, Case{17, 32, "3.2"}, Case{54, 65535, "-1"},
                          Case{66, 65535, "65535"},   // JP1 reads back unsigned
                          Case{101, 65535, "65535"}, Case{62, 65535, "65535"}}) {
        Windows w;
        const QString problem = Show_Read_Back(readReply(1, 3, {c.value}), c.address, 48, w.targets());
        EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
        EXPECT_EQ(w.parameter.texts.value(c.address), c.text) << c.address;
        EXPECT_EQ(w.parameter.writes, 1);
    }
    Windows w;
    EXPECT_TRUE(Show_Read_Back(readReply(1, 3, {19}), 15, 48, w.targets()).isEmpty());
    EXPECT_EQ(w.parameter.selections.value(15), 2);   // "AT2 "
}

TEST(ReadBackPass, RefusesRepliesThatAreNoOneRegisterRead)
{
    Windows w;
    QByteArray exception("\x01\x83\x02\x00\x00", 5);
    EXPECT_EQ(Show_Read_Back(exception, 0, 48, w.targets()),
              " Exception reply, code 2 (illegal data address) !");
    exception[2] = char(9);
    EXPECT_EQ(Show_Read_Back(exception, 0, 48, w.targets()), " Exception reply, code 9 !");
    const QString wrongLength = QStringLiteral(" Wrong reply length !");
    EXPECT_EQ(Show_Read_Back(readReply(1, 3, {1, 2}), 0, 48, w.targets()), wrongLength);
    EXPECT_EQ(Show_Read_Back(readReply(1, 3, {1}).left(6), 0, 48, w.targets()), wrongLength);
    EXPECT_EQ(Show_Read_Back(QByteArray("\x01", 1), 0, 48, w.targets()), wrongLength);
    EXPECT_EQ(Show_Read_Back(QByteArray("\x01\x83\x02\x00", 4), 0, 48, w.targets()), wrongLength);
    QByteArray badCount = readReply(1, 3, {1});
    badCount[2] = char(4);
    EXPECT_EQ(Show_Read_Back(badCount, 0, 48, w.targets()), wrongLength);
    EXPECT_EQ(Show_Read_Back(readReply(1, 4, {1}), 0, 48, w.targets()), " Wrong function code !");
    EXPECT_FALSE(Show_Read_Back(readReply(1, 3, {1}), 4096, 48, w.targets()).isEmpty());
    EXPECT_EQ(w.parameter.writes + w.live.writes, 0);
}

TEST(LivePass, DecodesEveryInputRegisterByItsKind)
{
    Windows w;
    const QByteArray reply = liveReply({{4096, 255},  {4097, 65535}, {4098, 1234}, {4099, 0x0A1F},
                                        {4100, 754},  {4101, 0},     {4102, 0},    {4103, 1},
                                        {4104, 0},    {4105, 0x8000}, {4106, 65535}, {4113, 5},
                                        {4114, 65535}, {4115, 100},  {4122, 65531}, {4123, 5},
                                        {4124, 32768}, {4125, 1}});
    showLiveValues(reply, 50, w.targets(2, 16));
    const QMap<int, QString> &t = w.live.texts;
    EXPECT_EQ(t.value(4096), "0.255");
    EXPECT_EQ(t.value(4097), "-0.001");
    EXPECT_EQ(t.value(4098), "123.4");
    EXPECT_EQ(t.value(4099), "0A1F");
    EXPECT_EQ(t.value(4101), "01:15");
    EXPECT_EQ(t.value(4103), "109:13");
    EXPECT_EQ(t.value(4105), "3579139:24");
    EXPECT_EQ(t.value(4106), "-0.1");
    EXPECT_EQ(t.value(4113), "0.5");
    EXPECT_EQ(t.value(4114), "-1");
    EXPECT_EQ(t.value(4115), "100");
    EXPECT_EQ(t.value(4122), "-0.5");
    EXPECT_EQ(t.value(4123), "0005");
    EXPECT_EQ(t.value(4124), "-32768");
    EXPECT_EQ(t.value(4125), "1");
    // The low halves of the three times have no box.
    for (int low : {4100, 4102, 4104})
        EXPECT_FALSE(t.contains(low)) << low;
    EXPECT_EQ(t.size(), 27);
    EXPECT_EQ(w.parameter.writes, 0);   // the window shows slot 16's values only
}

TEST(LivePass, ReachesTheWindowOnlyForItsSlotAndStopsAtTheEndOfAShortReply)
{
    const QByteArray reply = liveReply({{4096, 5}});
    {
        Windows w;
        showLiveValues(reply, 48, w.targets(3, 3));
        EXPECT_EQ(w.parameter.texts, w.live.texts);
        EXPECT_EQ(w.parameter.texts.value(4096), "0.5");
    }
    {
        Windows w;
        showLiveValues(reply, 48, w.targets(5, 3));
        EXPECT_EQ(w.live.texts.size(), 27);
        EXPECT_TRUE(w.parameter.texts.isEmpty());
    }
    {
        // Cut inside the first time pair: 4096..4099 shown, then error 9.
        Windows w;
        EXPECT_EQ(errorNumberOf([&] { showLiveValues(reply.left(3 + 2 * 5 + 1), 48, w.targets()); }),
                  SubscriptOutOfRange);
        EXPECT_EQ(w.live.texts.keys(), QList<int>({4096, 4097, 4098, 4099}));
    }
}

TEST(LiveValueTable, AKeptReplyReadsAsTheSameReplyDecodedAtOnce)
{
    const QByteArray a = liveReply({{4096, 255}, {4097, 65535}, {4098, 1234}, {4099, 0x0A1F}, {4106, 754}});
    const QByteArray b = liveReply({{4096, 7}, {4098, 1}, {4106, 60000}});
    const auto eager = [](const QByteArray &reply, int dp, LiveValueTable &table) {
        DisplayTargets t;
        t.liveValues = &table;
        showLiveValues(reply, dp, t);
    };
    const struct {
        const char *name;
        std::function<void(LiveValueTable &)> kept, atOnce;
    } cases[] = {
        {"one reply kept", [&](LiveValueTable &t) { t.keepReply(a, 49); },
         [&](LiveValueTable &t) { eager(a, 49, t); }},
        {"the later of two kept", [&](LiveValueTable &t) { t.keepReply(a, 49); t.keepReply(b, 48); },
         [&](LiveValueTable &t) { eager(b, 48, t); }},
        {"kept, then one decoded at once", [&](LiveValueTable &t) { t.keepReply(a, 49); eager(b, 50, t); },
         [&](LiveValueTable &t) { eager(b, 50, t); }},
        {"decoded at once, then one kept", [&](LiveValueTable &t) { eager(b, 50, t); t.keepReply(a, 48); },
         [&](LiveValueTable &t) { eager(a, 48, t); }},
        {"kept, then one text set", [&](LiveValueTable &t) { t.keepReply(a, 49); t.setText(4098, "x"); },
         [&](LiveValueTable &t) { eager(a, 49, t); t.setText(4098, "x"); }},
        {"a kept reply cut short", [&](LiveValueTable &t) { t.keepReply(a.first(20), 49); },
         [&](LiveValueTable &t) { EXPECT_THROW(eager(a.first(20), 49, t), Error); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LiveValueTable kept, atOnce;
        c.kept(kept);
        c.atOnce(atOnce);
        for (int address = InputRegisterBase; address < InputRegisterBase + InputRegisterCount; ++address)
            EXPECT_EQ(kept.text(address), atOnce.text(address)) << address;
    }
}
