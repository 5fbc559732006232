#include <csignal>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "deal.hpp"
#include "expected_screen.hpp"
#include "terminal.hpp"

namespace {

// Down to the first pile and the space bar: its card is picked up, and the game reads
// the next key in the middle of a move.
constexpr const char* CARRYING = "j ";

class EndingSignal : public ::testing::TestWithParam<int> {};

// A signal that ends a terminal program ends the game's screen first, then the game by
// that same signal, as the shell that started it expects.
TEST_P(EndingSignal, EndsTheScreenThenTheGameByTheSignal)
{
    terminal t{launch()};
    ASSERT_TRUE(deal(t));
    t.send(CARRYING);
    ASSERT_TRUE(t.wait_for_text(16, 4, "@"));
    t.send_signal(GetParam());
    EXPECT_EQ(t.wait_exit(), killed_by(GetParam()));
    EXPECT_TRUE(t.restored());
    // Under emulation, qemu itself reports a signal that dumps core; the game says nothing.
    EXPECT_TRUE(t.errors().empty() || t.errors().starts_with("qemu: uncaught target signal "))
        << t.errors();
}

INSTANTIATE_TEST_SUITE_P(Signals, EndingSignal, ::testing::Values(SIGHUP, SIGINT, SIGQUIT, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& p) {
                             return std::string(sigabbrev_np(p.param));
                         });

// A signal that comes while the game draws waits until the drawing is done: here it
// comes as the game redraws the seventh pile for an N, and the pile stands whole, its
// held card one row low, when the game has gone.
TEST(Signals, WaitForTheDrawingToEnd)
{
    constexpr long long second = 1700000000;
    launch how;
    how.fixed_time = second;
    how.raise_signal = SIGTERM;
    how.raise_after_key = 'N';
    terminal t{how};
    ASSERT_TRUE(deal(t));
    t.send("jllllll N");
    EXPECT_EQ(t.wait_exit(), killed_by(SIGTERM));
    EXPECT_TRUE(t.restored());

    const dealt_card top = predict_deal(second).tableau[6].back();
    const std::string rank = RANKS[static_cast<std::size_t>(top.value)];
    const std::string pad(6 - rank.size(), ' ');
    const std::string suit = SUITS[static_cast<std::size_t>(top.suit)];
    for (int row = 9; row < 15; ++row) EXPECT_EQ(t.text(row, 49, 7), "┌─────┐") << row;
    EXPECT_EQ(t.text(16, 49, 7), rank + suit + pad);
    EXPECT_EQ(t.text(20, 49, 7), pad + suit + rank);
}

}  // namespace
