// Game after game of random play through the game's own key handling, with the whole
// table checked after every turn. QUORVEL_SOAK_KEYS sets how many keys are typed
// (default 200000); QUORVEL_SOAK_SEED replays a run, deals included, and
// QUORVEL_SOAK_SEED=random asks for a new one. The long run:
//
//     QUORVEL_SOAK_KEYS=10000000 build-release/tests/soak/soak_play

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <curses.h>
#include <gtest/gtest.h>

#include "player.hpp"
#include "screen.hpp"

namespace {

constexpr long DEFAULT_KEYS = 200000;
// From this many keys on, a run must show real play.
constexpr long FULL_RUN_KEYS = 100000;
// A game nobody has won within this many keys is given up for a new deal.
constexpr long GAME_KEY_LIMIT = 4000;

long keys_to_type()
{
    const char* text = std::getenv("QUORVEL_SOAK_KEYS");
    return text != nullptr && *text != '\0' ? std::strtol(text, nullptr, 10) : DEFAULT_KEYS;
}

struct screen_size {
    int lines;
    int cols;
};

bool fits_the_table(screen_size size)
{
    return size.lines >= 28 && size.cols >= 57;
}

// A third of the sizes are too small for the table: too short, too narrow or both.
screen_size random_size(std::mt19937& random)
{
    screen_size size{28 + pick(random, 20), 57 + pick(random, 80)};
    switch (pick(random, 6)) {
    case 0:
        size.lines = 5 + pick(random, 23);
        break;
    case 1:
        size.cols = 20 + pick(random, 37);
        break;
    default:
        break;
    }
    return size;
}

bool won_by_the_rules(const table_view& t)
{
    const auto empty = [](const std::vector<card_view>& pile) {
        return pile.size() == 1 && pile.front().face == NO_FACE;
    };
    for (int p = FIRST_TABLEAU_PILE; p < PILE_COUNT; ++p) {
        for (const card_view& c : t.piles[p])
            if (c.face == COVERED) return false;
    }
    return empty(t.piles[STOCK_PILE]) && empty(t.piles[WASTE_PILE]);
}

// ---- What the run did ----

enum pile_kind { STOCK_KIND, WASTE_KIND, FOUNDATION_KIND, TABLEAU_KIND, KIND_COUNT };
constexpr std::array<const char*, KIND_COUNT> kind_names{"stock", "waste", "foundation", "tableau"};

pile_kind kind_of(int pile)
{
    if (pile == STOCK_PILE) return STOCK_KIND;
    if (pile == WASTE_PILE) return WASTE_KIND;
    return pile < FIRST_TABLEAU_PILE ? FOUNDATION_KIND : TABLEAU_KIND;
}

struct whereabouts {
    int pile = -1;
    int face = NO_FACE;
};

// Where each card lies, by value * 4 + suit.
std::array<whereabouts, CARD_COUNT> whereabouts_of_cards(const table_view& t)
{
    std::array<whereabouts, CARD_COUNT> cards{};
    for (int p = 0; p < PILE_COUNT; ++p) {
        for (const card_view& c : t.piles[p])
            if (c.face != NO_FACE) cards[c.value * 4 + c.suit] = {p, c.face};
    }
    return cards;
}

struct tally {
    long keys = 0;
    long turns = 0;
    long games = 0;
    long won = 0;
    long turned_up = 0;                                            // tableau cards turned face up
    std::array<std::array<long, KIND_COUNT>, KIND_COUNT> moved{};  // cards, by kind of pile
};

void count_turn(tally& run, const table_view& before, const table_view& now)
{
    const auto was = whereabouts_of_cards(before);
    const auto is = whereabouts_of_cards(now);
    for (int c = 0; c < CARD_COUNT; ++c) {
        if (was[c].pile != is[c].pile) ++run.moved[kind_of(was[c].pile)][kind_of(is[c].pile)];
        if (kind_of(was[c].pile) == TABLEAU_KIND && was[c].face == COVERED && is[c].face == EXPOSED)
            ++run.turned_up;
    }
}

void report(const tally& run, unsigned seed, double seconds)
{
    std::printf(
        "random play, seed %u: %ld keys in %ld turns, %.1f s; %ld games, %ld won; "
        "%ld cards turned up\ncards moved:",
        seed, run.keys, run.turns, seconds, run.games, run.won, run.turned_up);
    for (int from = 0; from < KIND_COUNT; ++from) {
        for (int to = 0; to < KIND_COUNT; ++to) {
            if (run.moved[from][to] > 0)
                std::printf(" %s>%s %ld", kind_names[from], kind_names[to], run.moved[from][to]);
        }
    }
    std::printf("\n");
}

class Soak : public ScreenTest {
protected:
    Soak()
    {
        lines = 40;
        cols = 100;
    }
};

// The checks of the soak, shown to catch each broken rule on a table just dealt.
TEST_F(Soak, TableFault_NamesEachBrokenRule)
{
    constexpr int QUEEN = 11;
    constexpr int TWO = 1;
    const struct {
        const char* fault;
        void (*breaks)(table_view& now, table_view& before);
    } cases[] = {
        {"at row 16, column 49 instead of 14, 49",
         [](table_view& t, table_view&) { t.piles[FIRST_TABLEAU_PILE + 6][1].y = 16; }},
        {"instead of 1, 1", [](table_view& t, table_view&) { t.piles[STOCK_PILE].back().x = 9; }},
        {"lies twice",
         [](table_view& t, table_view&) { t.piles[STOCK_PILE][0] = t.piles[STOCK_PILE][1]; }},
        {"51 different cards", [](table_view& t, table_view&) { t.piles[STOCK_PILE].pop_back(); }},
        {"no such card",
         [](table_view& t, table_view&) { t.piles[STOCK_PILE][0].value = KING + 1; }},
        {"a placeholder among cards",
         [](table_view& t, table_view&) {
             t.piles[FIRST_TABLEAU_PILE + 1].back() = {-1, -1, -1, 9, 9};
         }},
        {"turned wrong", [](table_view& t, table_view&) { t.piles[STOCK_PILE][0].face = EXPOSED; }},
        {"2h on the empty place",
         [](table_view& t, table_view&) {
             t.piles[FIRST_FOUNDATION_PILE] = {{TWO, HEARTS, EXPOSED, 1, 25}};
         }},
        {"2s on Ah",
         [](table_view& t, table_view&) {
             t.piles[FIRST_FOUNDATION_PILE] = {{TWO, SPADES, EXPOSED, 1, 25},
                                               {ACE, HEARTS, EXPOSED, 1, 25}};
         }},
        {"Qc on Ks",
         [](table_view& t, table_view&) {
             t.piles[FIRST_TABLEAU_PILE + 1] = {{QUEEN, CLUBS, EXPOSED, 10, 9},
                                                {KING, SPADES, EXPOSED, 9, 9}};
         }},
        {"under a face-down card",
         [](table_view& t, table_view&) {
             t.piles[FIRST_TABLEAU_PILE + 1] = {{QUEEN, HEARTS, COVERED, 10, 9},
                                                {KING, SPADES, EXPOSED, 9, 9}};
         }},
        {"waste pile is not recognised",
         [](table_view& t, table_view&) { t.known_by_place[WASTE_PILE] = false; }},
        {"carries a selection", [](table_view& t, table_view&) { t.carrying = true; }},
        {"column 5", [](table_view& t, table_view&) { t.cursor_x = 5; }},
        {"row 14 over tableau 0", [](table_view& t, table_view&) { t.cursor_y = 14; }},
        {"passes left rose",
         [](table_view& t, table_view& before) { t.passes_left = before.passes_left + 1; }},
        {"no pass left",
         [](table_view& t, table_view& before) {
             t.passes_left = before.passes_left = 0;
             before.piles[STOCK_PILE].pop_back();
         }},
    };
    std::mt19937 random(1);
    deal(random);
    const table_view dealt = look();
    ASSERT_EQ(table_fault(dealt, dealt), "") << table_text(dealt);
    for (const auto& c : cases) {
        table_view now = dealt;
        table_view before = dealt;
        c.breaks(now, before);
        const std::string fault = table_fault(now, before);
        EXPECT_NE(fault.find(c.fault), std::string::npos) << c.fault << " is not among:\n" << fault;
    }
}

TEST_F(Soak, RandomPlay_KeepsEveryTableSoundGameAfterGame)
{
    const long keys_wanted = keys_to_type();
    const unsigned seed = run_seed();
    SCOPED_TRACE("QUORVEL_SOAK_SEED=" + std::to_string(seed));
    std::printf("random play: %ld keys\n", keys_wanted);
    const auto start = std::chrono::steady_clock::now();
    std::mt19937 random(seed);
    tally run;

    deal(random);
    table_view before = look();
    ASSERT_EQ(table_fault(before, before), "") << table_text(before);
    long game_keys = 0;
    bool too_small = false;
    while (run.keys < keys_wanted) {
        std::vector<int> keys;
        // Between turns the terminal may change size, and always does after a turn on a
        // screen too small to play, so that play goes on.
        if (too_small || pick(random, 50) == 0) {
            const screen_size size = random_size(random);
            // resize_term, not resizeterm, which queues a KEY_RESIZE of its own: here the
            // key arrives in its turn, as it would after the terminal's signal.
            resize_term(size.lines, size.cols);
            too_small = !fits_the_table(size);
            keys.push_back(KEY_RESIZE);
        }
        const std::vector<int> turn = next_turn(random);
        keys.insert(keys.end(), turn.begin(), turn.end());
        const bool won = play_turn(keys);
        const table_view now = look();

        std::string fault = table_fault(now, before);
        if (too_small && now != before) fault += "a turn on a too-small screen changed the table\n";
        if (won != won_by_the_rules(now)) fault += won ? "a win too early\n" : "a win not seen\n";
        ASSERT_EQ(fault, "") << "game " << run.games + 1 << ", turn " << run.turns + 1 << ": "
                             << key_names(keys) << "\nbefore:\n"
                             << table_text(before) << "after:\n"
                             << table_text(now);

        count_turn(run, before, now);
        run.keys += static_cast<long>(keys.size());
        game_keys += static_cast<long>(keys.size());
        ++run.turns;
        before = now;
        if (won || game_keys >= GAME_KEY_LIMIT) {
            ++run.games;
            run.won += won ? 1 : 0;
            end_game();
            deal(random);
            before = look();
            ASSERT_EQ(table_fault(before, before), "") << table_text(before);
            game_keys = 0;
        }
    }
    // The run ends on a screen that holds the whole table.
    resize_term(40, 100);
    play_turn({KEY_RESIZE, 27});
    const table_view last = look();
    EXPECT_EQ(table_fault(last, before), "") << table_text(last);

    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    report(run, seed, seconds.count());
    // A run this long plays for real: cards went every way a game moves them, and some
    // games were won.
    if (run.keys < FULL_RUN_KEYS) return;
    EXPECT_GT(run.won, 0);
    EXPECT_GT(run.turned_up, 0);
    for (const auto& [from, to] : {std::pair{STOCK_KIND, WASTE_KIND},
                                   {WASTE_KIND, STOCK_KIND},
                                   {WASTE_KIND, TABLEAU_KIND},
                                   {WASTE_KIND, FOUNDATION_KIND},
                                   {TABLEAU_KIND, TABLEAU_KIND},
                                   {TABLEAU_KIND, FOUNDATION_KIND},
                                   {FOUNDATION_KIND, TABLEAU_KIND}}) {
        EXPECT_GT(run.moved[from][to], 0) << kind_names[from] << " to " << kind_names[to];
    }
}

}  // namespace
