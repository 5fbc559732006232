#include <chrono>
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

// Whether curses has ended the screen since the output's first `from` bytes and drawn
// it again, as it does around a stop.
bool back_on_screen(const terminal& t, std::size_t from)
{
    const std::size_t ended = t.output().find("\033[?1049l", from);
    return ended != std::string::npos && t.output().find("\033[?1049h", ended) != std::string::npos;
}

// Stopped and continued while carrying a card, the game moves it with the next arrow key,
// which the terminal now sends in the cursor keys' normal mode: curses puts them back in
// application mode only at the read after that key.
TEST(Signals, ArrowAfterStopAndContinueMovesTheSelection)
{
    launch how;
    how.fixed_time = 1700000000;
    terminal t{how};
    ASSERT_TRUE(deal(t));
    t.send(CARRYING);
    ASSERT_TRUE(t.wait_for_text(16, 4, "@"));
    ASSERT_TRUE(t.wait_idle());
    const std::size_t before = t.output().size();
    t.send_signal(SIGTSTP);
    // Under a terminal of its own the game leads an orphaned process group, whose stop the
    // kernel drops, so curses draws again at once; a game that stops all the same is
    // continued. Only then may the key go: curses throws away what was typed before.
    const auto deadline = std::chrono::steady_clock::now() + WAIT_LIMIT;
    while (!back_on_screen(t, before) && std::chrono::steady_clock::now() < deadline) {
        if (t.stopped()) t.send_signal(SIGCONT);
        t.wait_for([before](const terminal& s) { return back_on_screen(s, before); },
                   milliseconds{10});
    }
    ASSERT_TRUE(back_on_screen(t, before)) << "the game never drew its screen again";
    t.press(key::right);
    ASSERT_TRUE(t.wait_idle());
    EXPECT_EQ(cursor_marks(t), "@ 16,12");
}

}  // namespace
