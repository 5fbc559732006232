// The game's curses windows, counted as it makes and deletes them: the linker hands every
// newwin and delwin of the game to the counters below first (-Wl,--wrap), so that a
// window never deleted shows here, though curses keeps it reachable from any leak check.

#include <cstddef>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <curses.h>
#include <gtest/gtest.h>

#include "player.hpp"
#include "screen.hpp"

namespace {

std::set<const WINDOW*> live_windows;
long strange_deletes = 0;  // windows deleted that the game never made, or deleted twice

}  // namespace

extern "C" {

WINDOW* __real_newwin(int lines, int cols, int begin_y, int begin_x);
int __real_delwin(WINDOW* w);

WINDOW* __wrap_newwin(int lines, int cols, int begin_y, int begin_x)
{
    WINDOW* w = __real_newwin(lines, cols, begin_y, begin_x);
    if (w != nullptr) live_windows.insert(w);
    return w;
}

int __wrap_delwin(WINDOW* w)
{
    if (live_windows.erase(w) == 0) ++strange_deletes;
    return __real_delwin(w);
}

}  // extern "C"

namespace {

class Windows : public ScreenTest {
protected:
    Windows()
    {
        lines = 50;
        cols = 120;
    }
};

// Between turns every node of every pile holds a card or a placeholder with a window of
// its own, and the cursor has one: no other window of the game may be alive.
std::size_t windows_on(const table_view& t)
{
    std::size_t count = 1;
    for (const auto& pile : t.piles) count += pile.size();
    return count;
}

TEST_F(Windows, Play_KeepsOneWindowPerCardAndEndingTheGameDeletesEveryOne)
{
    const unsigned seed = run_seed();
    SCOPED_TRACE("QUORVEL_SOAK_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    // Games of growing length, the first ended right after the deal.
    for (int game_number = 0; game_number < 6; ++game_number) {
        const std::size_t before_deal = live_windows.size();
        deal(random);
        ASSERT_EQ(live_windows.size() - before_deal, windows_on(look())) << "after the deal";
        for (long keys = 0; keys < 1500L * game_number;) {
            const std::vector<int> turn = next_turn(random);
            const bool won = play_turn(turn);
            const table_view now = look();
            ASSERT_EQ(table_fault(now, now), "") << key_names(turn) << "\n" << table_text(now);
            ASSERT_EQ(live_windows.size() - before_deal, windows_on(now))
                << "game " << game_number << ", after " << key_names(turn) << "\n"
                << table_text(now);
            if (won) break;
            keys += static_cast<long>(turn.size());
        }
        end_game();
        EXPECT_EQ(live_windows.size(), before_deal) << "game " << game_number;
    }
    EXPECT_EQ(strange_deletes, 0);
}

}  // namespace
