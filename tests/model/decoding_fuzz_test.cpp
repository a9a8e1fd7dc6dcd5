#include "model/display.h"
#include "model/register_map.h"

#include "base/error.h"
#include "support/replies.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <random>

using namespace orbalis;
using orbalis::test::RecordingSink;

namespace {

// Runs every pass over the bytes. Only error 9 may come out, and only when the
// bytes are too short for the pass; the sanitizer build catches any read past them.
void decodeEverything(const QByteArray &bytes, RecordingSink &window, RecordingSink &live)
{
    const DisplayTargets t{&window, &live, 3, 3};
    const auto expectOnlyShortReplyErrors = [&](int needed, auto &&pass) {
        try {
            pass();
            EXPECT_GE(bytes.size(), needed);
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), SubscriptOutOfRange);
            EXPECT_LT(bytes.size(), needed);
        }
    };
    std::int32_t dp = 48;
    expectOnlyShortReplyErrors(3 + 2 * HoldingRegisterCount, [&] { Show_All_Parameters(bytes, dp, t); });
    EXPECT_GE(dp, 47);
    EXPECT_LE(dp, 50);
    expectOnlyShortReplyErrors(3 + 2 * InputRegisterCount, [&] { showLiveValues(bytes, dp, t); });
    for (int address : {0, 15, 45, 66, 108, 109, 4096}) {
        const QString problem = Show_Read_Back(bytes, address, dp, t);
        // Decoded only from a well-formed 7-byte reply.
        if (problem.isEmpty()) {
            EXPECT_EQ(bytes.size(), 7);
        }
    }
}

} // namespace

TEST(DecodingFuzz, RandomAndTruncatedRepliesNeverReadPastTheirBytes)
{
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 260);
    RecordingSink window, live;

    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes(length(rng), '\0');
        for (char &c : bytes)
            c = char(byte(rng));
        decodeEverything(bytes, window, live);
    }

    // Well-formed replies of random registers, cut at every length.
    std::vector<std::uint16_t> holding(HoldingRegisterCount), input(InputRegisterCount);
    for (auto &v : holding)
        v = std::uint16_t(byte(rng) << 8 | byte(rng));
    for (auto &v : input)
        v = std::uint16_t(byte(rng) << 8 | byte(rng));
    for (const QByteArray &full : {test::readReply(1, 3, holding), test::readReply(1, 4, input),
                                   test::readReply(1, 3, {0xFFFF}), QByteArray("\x01\x83\x02\x00\x00", 5)}) {
        for (qsizetype n = 0; n <= full.size(); ++n)
            decodeEverything(full.left(n), window, live);
    }
    // Selections always name an item of the box's own list.
    for (auto it = window.selections.cbegin(); it != window.selections.cend(); ++it) {
        const RegisterInfo *r = findRegister(it.key());
        ASSERT_NE(r, nullptr);
        ASSERT_NE(r->enumeration, nullptr);
        EXPECT_GE(it.value(), 0);
        EXPECT_LT(it.value(), int(r->enumeration->items.size()));
    }
    EXPECT_EQ(window.selections.size(), 24);
}
