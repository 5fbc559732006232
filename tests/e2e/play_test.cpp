#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "expected_screen.hpp"
#include "player.hpp"
#include "terminal.hpp"

namespace {

// Once every key sent is handled, the screen shows the model: every tableau card on its
// row (the top `marked` cards of pile `marked_pile` one row low) and the top card of each
// other pile, by the rank and suit of a face or the corner of a back; the corner of an
// empty pile's box, and the empty stock's pass mark.
void expect_table(terminal& t, const model_table& m, int marked_pile = -1, int marked = 0)
{
    ASSERT_TRUE(t.wait_idle());
    for (int p = 0; p < 13; ++p) {
        const auto& pile = m.piles[p];
        const int size = static_cast<int>(pile.size());
        const int col = 1 + 8 * place_of(p).col;
        if (pile.empty()) {
            EXPECT_EQ(t.text(p < WASTE ? 9 : 1, col, 1), "┌") << "empty pile " << p;
        }
        for (int k = p < WASTE ? 0 : size - 1; k >= 0 && k < size; ++k) {
            const model_card& c = pile[k];
            const int row = p < WASTE ? 9 + k + (p == marked_pile && k >= size - marked) : 1;
            const std::string shown =
                c.up ? std::string(RANKS[c.card.value]) + SUITS[c.card.suit] : "┌";
            EXPECT_EQ(t.text(row, col, 3).substr(0, shown.size()), shown) << row << "," << col;
            EXPECT_EQ(t.cell(row, col).bg, c.up ? WHITE : BLUE) << row << "," << col;
        }
    }
    if (m.piles[STOCK].empty()) {
        EXPECT_EQ(t.text(3, 4, 1), m.passes_left > 0 ? "O" : "X") << "the stock's pass mark";
    }
}

// The cursor's "*" over a place of the top row, or over a tableau pile of `cards` cards
// and then `lower` rows further down.
std::string star_over(cursor_place p, int cards = 1, int lower = 0)
{
    const int row = p.top ? 7 : 15 + std::max(cards - 1, 0) + lower;
    return "* " + std::to_string(row) + "," + std::to_string(4 + 8 * p.col);
}

launch dealt_at(long long second, std::vector<std::string> args = {})
{
    launch how(std::move(args));
    how.fixed_time = second;
    return how;
}

TEST(Play, GreedyGameIsWonAndSaysSoAfterTheScreen)
{
    const std::optional<model_game> game = winning_game();
    ASSERT_TRUE(game.has_value()) << "the player wins none of the games searched";
    terminal t{dealt_at(game->second)};
    ASSERT_TRUE(deal(t));
    // Now and then the table is what the model says it is.
    std::size_t sent = 0;
    for (std::size_t i = 0; i < game->steps.size(); i += 20) {
        SCOPED_TRACE("before move " + std::to_string(i));
        t.send(game->keys.substr(sent, game->steps[i].keys_from - sent));
        sent = game->steps[i].keys_from;
        expect_table(t, game->steps[i].before);
    }
    t.send(game->keys.substr(sent));

    EXPECT_EQ(t.wait_exit(), exited_with(0));
    // The line comes last, after everything that ended the game's screen.
    EXPECT_TRUE(t.output().ends_with("You won.\r\n"));
    int row = 0;
    while (row < t.rows() && t.row_text(row) != "You won.") ++row;
    EXPECT_LT(row, t.rows()) << "\"You won.\" is not on the screen";
    EXPECT_TRUE(t.restored());
    EXPECT_EQ(t.errors(), "");
}

TEST(Play, EachPassThroughTheStockEndsWithItsMarkAndRecyclingKeepsTheOrder)
{
    struct cycling_case {
        std::vector<std::string> args;
        int passes;
        std::string marks;  // the empty stock's mark after each pass through it
    };
    for (const auto& [args, passes, marks] :
         {cycling_case{{}, 3, "OOX"}, cycling_case{{"-p", "1"}, 1, "X"},
          cycling_case{{"-p", "0"}, 0, "X"}}) {
        terminal t{dealt_at(FIRST_SECOND, args)};
        ASSERT_TRUE(deal(t));
        model_table m = model_deal(FIRST_SECOND, passes);
        const dealt_card first = m.piles[STOCK].back().card;
        const auto turn = [&](std::size_t times) {
            t.send(std::string(times, ' '));
            for (std::size_t i = 0; i < times; ++i) m = model_apply(m, {move_kind::turn});
        };
        for (const char mark : marks) {
            SCOPED_TRACE(std::to_string(passes) + " passes, one ending in " + mark);
            turn(m.piles[STOCK].size());
            expect_table(t, m);
            EXPECT_EQ(t.text(3, 4, 1), std::string(1, mark));
            if (mark == 'O') {
                turn(1);  // the waste pile back onto the stock
                expect_table(t, m);
                turn(1);
                expect_table(t, m);
                EXPECT_EQ(m.piles[WASTE].back().card, first) << "another card leads";
            } else {
                const std::size_t drawn = t.output().size();
                t.send(" ");
                ASSERT_TRUE(t.wait_idle());
                EXPECT_EQ(t.output().size(), drawn) << "the stock with no pass left did something";
            }
        }
    }
}

enum class destination { pile, empty_pile, foundation };

// One of the greedy player's moves from a tableau pile, made here with other keys that
// widen and narrow the selection first, one at a time.
struct carrying {
    const char* name;
    destination where;
    int run;             // face-up cards on the pile the move takes from
    std::string keys;    // pressed one at a time over that pile
    std::string marked;  // how many cards are selected after each
};

// Widening stops at the face-down card beneath the run; narrowing keeps the top card.
const std::vector<carrying> CARRYING{
    {"a run narrowed and widened goes over in order", destination::pile, 3, "MmnNnmmm", "33211233"},
    {"a run onto a foundation sends only its top card", destination::foundation, 2, "m", "2"},
    {"a king alone onto an empty pile lands on its first row", destination::empty_pile, 1, "", ""},
    {"a king under a run does too", destination::empty_pile, 2, "M", "2"},
};

TEST(Play, CarriedSelectionGoesWhereTheModelSays)
{
    for (const carrying& c : CARRYING) {
        SCOPED_TRACE(c.name);
        const auto wanted = [&c](const model_step& s) {
            const model_move& m = s.move;
            const destination to = m.to >= FOUNDATION             ? destination::foundation
                                   : s.before.piles[m.to].empty() ? destination::empty_pile
                                                                  : destination::pile;
            return m.kind == move_kind::shift && m.from < WASTE && to == c.where &&
                   face_up_run(s.before.piles[m.from]) == c.run;
        };
        const std::optional<model_game> game =
            find_game([&](const model_game& g) { return std::ranges::any_of(g.steps, wanted); });
        ASSERT_TRUE(game.has_value()) << "no game searched has such a move";
        const model_step& step = *std::ranges::find_if(game->steps, wanted);
        const model_move& move = step.move;
        terminal t{dealt_at(game->second)};
        ASSERT_TRUE(deal(t));
        cursor_place place = step.at;
        t.send(game->keys.substr(0, step.keys_from) + go(place, place_of(move.from)) + " ");
        expect_table(t, step.before, move.from, 1);
        for (std::size_t i = 0; i < c.keys.size(); ++i) {
            SCOPED_TRACE("after " + c.keys.substr(0, i + 1));
            t.send(c.keys.substr(i, 1));
            expect_table(t, step.before, move.from, c.marked[i] - '0');
        }
        // Away from their pile the selection keys do nothing.
        t.send(go(place, place_of(move.to)) + "nN ");
        expect_table(t, model_apply(step.before, move));
        // Over a tableau pile the cursor goes down by the cards placed, even onto an empty one.
        const int under = static_cast<int>(step.before.piles[move.to].size());
        EXPECT_EQ(cursor_marks(t), star_over(place, under, move.count));
    }
}

// The first deal whose pile of two shows no ace and whose pile of seven shows a card that
// fits on another pile.
long long plain_deal()
{
    for (long long s = FIRST_SECOND;; ++s) {
        const model_table m = model_deal(s);
        for (int to = 0; to < 6 && m.piles[1].back().card.value != 0; ++to)
            if (takes(m, to, m.piles[6].back().card)) return s;
    }
}

TEST(Play, DroppedCardReturnsToItsRowAndTheCursorToItsOwn)
{
    const long long second = plain_deal();
    // Keys after picking up the top card of the pile of two, and the cursor afterwards.
    const std::vector<std::pair<std::string, std::string>> cases{
        {"\x1b", "* 16,12"},   // escape over the origin: up again with the card
        {"k\x1b", "* 7,12"},   // escape elsewhere: where it is
        {"l\x1b", "* 17,20"},  // over another pile too
        {"kl ", "* 7,20"},     // the space bar over the gap
        {"kh ", "* 7,4"},      // over the stock
        {" ", "* 17,12"},      // back on the origin, and no foundation takes it: still low
    };
    for (const auto& [keys, mark] : cases) {
        SCOPED_TRACE("keys '" + keys + "'");
        terminal t{dealt_at(second)};
        ASSERT_TRUE(deal(t));
        t.send("jl ");
        expect_table(t, model_deal(second), 1, 1);
        EXPECT_EQ(cursor_marks(t), "@ 17,12");
        t.send(keys);
        expect_table(t, model_deal(second));
        EXPECT_EQ(cursor_marks(t), mark);
    }
}

// Resizes and waits until the game has drawn for it.
void resize(terminal& t, int rows, int cols)
{
    const std::size_t drawn = t.output().size();
    t.resize(rows, cols);
    ASSERT_TRUE(t.wait_for([drawn](const terminal& s) { return s.output().size() > drawn; }));
}

TEST(Play, ResizeWhileCarryingRedrawsTheSelectionAndKeepsIt)
{
    const long long second = plain_deal();
    const model_table m = model_deal(second);
    terminal t{dealt_at(second)};
    ASSERT_TRUE(deal(t));
    t.send("jllllll ");
    resize(t, 28, 57);
    expect_table(t, m, 6, 1);
    EXPECT_EQ(cursor_marks(t), "@ 22,52");

    resize(t, 27, 57);
    expect_screen(t, SIZE_MESSAGE, TABLE);
    t.send("h ");  // ignored on a screen too small
    resize(t, 40, 100);
    expect_table(t, m, 6, 1);
    EXPECT_EQ(cursor_marks(t), "@ 22,52");

    int to = 0;
    while (!takes(m, to, m.piles[6].back().card)) ++to;
    t.send(std::string(6 - to, 'h') + " ");
    expect_table(t, model_apply(m, {move_kind::shift, 6, to}));
    EXPECT_EQ(cursor_marks(t), star_over(place_of(to), to + 2));
}

// In play the size message comes with the change of size itself, not with a later key.
TEST(Play, ResizeBelowTheMinimumShowsTheSizeMessageAtOnce)
{
    const long long second = plain_deal();
    terminal t{dealt_at(second)};
    ASSERT_TRUE(deal(t));
    resize(t, 27, 80);
    expect_screen(t, SIZE_MESSAGE, TABLE);
    resize(t, 30, 80);
    expect_table(t, model_deal(second));
    EXPECT_EQ(cursor_marks(t), "* 7,4");
}

TEST(Play, QuitWhileCarryingRestoresTheTerminal)
{
    terminal t{dealt_at(FIRST_SECOND)};
    ASSERT_TRUE(deal(t));
    t.send("j ");
    ASSERT_TRUE(t.wait_for([](const terminal& s) { return cursor_marks(s) == "@ 16,4"; }));
    t.send("q");
    EXPECT_EQ(t.wait_exit(), exited_with(0));
    EXPECT_TRUE(t.restored());
    EXPECT_EQ(t.errors(), "");
}

}  // namespace
