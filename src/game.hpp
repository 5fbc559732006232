#pragma once

#include "cursor.hpp"
#include "deck.hpp"
#include "stack.hpp"

// The table. A pile is known only by where its top card stands, so these places are
// the game's memory of which pile is which.
inline constexpr int TOP_ROW = 1;      // stock, waste pile and foundations
inline constexpr int TABLEAU_ROW = 9;  // bottom card of every tableau pile
inline constexpr int PILE_SPACING = 8;
inline constexpr int STOCK_COLUMN = 1;
inline constexpr int WASTE_PILE_COLUMN = 9;
inline constexpr int FIRST_FOUNDATION_COLUMN = 25;
inline constexpr int CARD_COUNT = 52;

// Column of the i-th pile from the left in a row of seven.
constexpr int pile_column(int i)
{
    return 1 + PILE_SPACING * i;
}

// Zero until the deal.
struct game {
    int passes_left = 0;  // passes through the stock that may still begin
    int four_color_deck = 0;
};

// The one game of the process; deck and cursor are null until the deal.
extern struct game game;
extern struct deck* deck;
extern struct cursor* cursor;

bool stock_stack(const stack* pile);
bool waste_pile_stack(const stack* pile);
bool foundation_stack(const stack* pile);
// A marked top card, one row low, still counts.
bool tableau_stack(const stack* pile);

// Puts every empty pile of a fresh deck at its place on the table.
void place_piles(struct deck* d);

// Whether the card of origin, alone or as the lowest card of a block, may go onto the
// pile whose top node is destination.
bool valid_move(const stack* origin, const stack* destination);
// Moves the top card and places its window: on the destination's place, or one row
// lower than its top card on a tableau pile. An empty origin moves nothing.
void move_card(stack** origin, stack** destination);
// Moves count cards in their order; when the destination then holds more than one
// card, the cursor goes down count rows.
void move_block(stack** origin, stack** destination, int count);

// Makes the cursor and the deck, deals a shuffled game and draws the table.
void game_init(struct game* g, int passes, int four_colors);
// No covered card on the tableau, and stock and waste pile both empty.
bool game_won();
// Frees the cursor and the deck with their windows; the screen is not touched.
void game_end();
