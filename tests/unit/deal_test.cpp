#include <array>
#include <ctime>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "deal.hpp"
#include "game.hpp"
#include "screen.hpp"

namespace {

using GameInit = ScreenTest;

constexpr std::array<const char*, 13> rank_labels{"A", "2", "3",  "4", "5", "6", "7",
                                                  "8", "9", "10", "J", "Q", "K"};

// One node of a pile as the table shows it.
struct placed_card {
    int value;
    int suit;
    int face;
    int y;
    int x;
    bool operator==(const placed_card&) const = default;
};

// Every node of a pile, placeholder included, from the top down.
std::vector<placed_card> top_down(const stack* pile)
{
    std::vector<placed_card> cards;
    for (; pile != nullptr; pile = pile->next) {
        const card* c = pile->card;
        cards.push_back({c->value, c->suit, c->face, c->frame->begin_y, c->frame->begin_x});
    }
    return cards;
}

std::vector<placed_card> bottom_up(const stack* pile)
{
    std::vector<placed_card> cards = top_down(pile);
    return {cards.rbegin(), cards.rend()};
}

// The whole table in the deck's pile order.
std::vector<placed_card> table()
{
    std::vector<placed_card> cards;
    std::vector<const stack*> piles{deck->stock, deck->waste_pile};
    piles.insert(piles.end(), deck->foundation.begin(), deck->foundation.end());
    piles.insert(piles.end(), deck->tableau.begin(), deck->tableau.end());
    for (const stack* pile : piles) {
        const std::vector<placed_card> some = top_down(pile);
        cards.insert(cards.end(), some.begin(), some.end());
    }
    return cards;
}

void end_game()
{
    game_end();
    deck = nullptr;
    cursor = nullptr;
    game = {};
}

// Deals until the clock shows the same second before and after the deal, and returns
// that second: the one the shuffle was seeded with.
std::time_t deal_within_one_second(int passes, int four_colors)
{
    for (;;) {
        const std::time_t before = std::time(nullptr);
        game_init(&game, passes, four_colors);
        if (std::time(nullptr) == before) return before;
        end_game();
    }
}

TEST_F(GameInit, Deal_LaysThePredictedTableForItsSecond)
{
    const predicted_deal expected =
        predict_deal(static_cast<unsigned>(deal_within_one_second(3, 0)));

    const std::vector<placed_card> stock = top_down(deck->stock);
    ASSERT_EQ(stock.size(), expected.stock.size());
    for (std::size_t i = 0; i < stock.size(); ++i) {
        SCOPED_TRACE("stock card " + std::to_string(i) + " from the top");
        EXPECT_EQ((dealt_card{stock[i].value, stock[i].suit}), expected.stock[i]);
        EXPECT_EQ(stock[i].face, COVERED);
        EXPECT_EQ(std::make_pair(stock[i].y, stock[i].x), std::make_pair(1, 1));
    }

    for (int i = 0; i < TABLEAU_COUNT; ++i) {
        const std::vector<placed_card> pile = bottom_up(deck->tableau[i]);
        ASSERT_EQ(pile.size(), static_cast<std::size_t>(i + 1)) << "tableau " << i;
        for (int k = 0; k <= i; ++k) {
            SCOPED_TRACE("tableau " + std::to_string(i) + ", card " + std::to_string(k));
            EXPECT_EQ((dealt_card{pile[k].value, pile[k].suit}), expected.tableau[i][k]);
            EXPECT_EQ(pile[k].face, k == i ? EXPOSED : COVERED);
            EXPECT_EQ(std::make_pair(pile[k].y, pile[k].x), std::make_pair(9 + k, 1 + 8 * i));
        }
        // The deal reaches the terminal: each top card shows its rank in its corner.
        const std::string label = rank_labels[pile.back().value];
        EXPECT_EQ(read_text(curscr, 9 + i, 1 + 8 * i, static_cast<int>(label.size())), label)
            << "tableau " << i;
    }

    EXPECT_EQ(top_down(deck->waste_pile), (std::vector<placed_card>{{-1, -1, -1, 1, 9}}));
    for (int f = 0; f < FOUNDATION_COUNT; ++f)
        EXPECT_EQ(top_down(deck->foundation[f]),
                  (std::vector<placed_card>{{-1, -1, -1, 1, 25 + 8 * f}}))
            << "foundation " << f;

    EXPECT_EQ(std::make_pair(cursor->y, cursor->x), std::make_pair(7, 4));
    EXPECT_FALSE(cursor->marked);
    EXPECT_FALSE(game_won());
}

TEST_F(GameInit, Deal_HoldsEachOfTheFiftyTwoCardsOnce)
{
    game_init(&game, 3, 0);
    std::set<std::pair<int, int>> seen;
    for (const placed_card& c : table()) {
        if (c.face == NO_FACE) continue;  // the placeholders of the empty piles
        EXPECT_TRUE(c.value >= ACE && c.value <= KING && c.suit >= DIAMONDS && c.suit <= CLUBS);
        EXPECT_TRUE(seen.insert({c.value, c.suit}).second) << "twice: " << c.value << "/" << c.suit;
    }
    EXPECT_EQ(seen.size(), 52u);
}

TEST_F(GameInit, Deal_KeepsPassesAndColourOptionAsGiven)
{
    const struct {
        int passes;
        int four_colors;
    } cases[] = {{3, 0}, {0, 1}, {-2, 0}};
    for (const auto& c : cases) {
        game_init(&game, c.passes, c.four_colors);
        EXPECT_EQ(game.passes_left, c.passes);
        EXPECT_EQ(game.four_color_deck, c.four_colors);
        end_game();
    }
}

TEST_F(GameInit, Deal_SameSecondDealsTheSameTable)
{
    for (;;) {
        const std::time_t before = std::time(nullptr);
        game_init(&game, 3, 0);
        const std::vector<placed_card> first = table();
        end_game();
        game_init(&game, 3, 0);
        if (std::time(nullptr) == before) {
            EXPECT_EQ(table(), first);
            return;
        }
        end_game();
    }
}

}  // namespace
