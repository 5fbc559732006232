#pragma once

#include <array>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

#include "game.hpp"

// A random player for the process-wide game: it deals, types turns of keys into the
// game's own key handling, and reads the table back between turns to check the rules
// that every table must keep, whatever was typed.

// The deck's piles in its own order.
inline constexpr int STOCK_PILE = 0;
inline constexpr int WASTE_PILE = 1;
inline constexpr int FIRST_FOUNDATION_PILE = 2;
inline constexpr int FIRST_TABLEAU_PILE = FIRST_FOUNDATION_PILE + FOUNDATION_COUNT;
inline constexpr int PILE_COUNT = FIRST_TABLEAU_PILE + TABLEAU_COUNT;

// A card as it lies on the table; a placeholder has value, suit and face -1.
struct card_view {
    int value;
    int suit;
    int face;
    int y;
    int x;
    bool operator==(const card_view&) const = default;
};

// The process-wide game, as far as a player can tell between turns.
struct table_view {
    std::array<std::vector<card_view>, PILE_COUNT> piles;  // each from the top card down
    std::array<bool, PILE_COUNT> known_by_place{};  // the pile's own position predicate holds
    int passes_left = 0;
    int cursor_x = 0;
    int cursor_y = 0;
    bool carrying = false;
    bool operator==(const table_view&) const = default;
};

table_view look();
// Every rule the table breaks, one a line, or "" for a sound table. before is the table
// one turn earlier, for the rules about what a turn may change.
std::string table_fault(const table_view& now, const table_view& before);
// The piles from the bottom card up, "[Kc]" face down, one a line, and the cursor.
std::string table_text(const table_view& t);

// The seed of a run, printed: QUORVEL_SOAK_SEED when it is a number, a fresh one when
// it is "random", else always the same.
unsigned run_seed();
// A number from 0 to n - 1.
int pick(std::mt19937& random, std::size_t n);

// Deals a new game with passes and colours drawn from random. The deal's shuffle is
// seeded from random too, so the seed of random alone replays a run.
void deal(std::mt19937& random);
// Frees the game and forgets it, as the process would at its end.
void end_game();

// The keys of one turn: a move a player might see on the table, typed out, or keys at
// random. Every turn ends with the escape key, which drops a selection still held.
std::vector<int> next_turn(std::mt19937& random);
// Has the game read and handle the keys, as its play loop would. Returns whether one of
// them won the game; the keys after that one are read but not handled.
bool play_turn(const std::vector<int>& keys);
// The keys as a player would name them, for failure messages.
std::string key_names(const std::vector<int>& keys);
