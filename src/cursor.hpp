#pragma once

#include <curses.h>

#include "stack.hpp"

inline constexpr int LEFT = 0;
inline constexpr int DOWN = 1;
inline constexpr int UP = 2;
inline constexpr int RIGHT = 3;

// The top row of places, under the stock, the waste pile, the gap and the foundations.
inline constexpr int CURSOR_TOP_ROW = 7;
// A cursor stands this many rows below the top edge of the card above it.
inline constexpr int CURSOR_DROP = 6;

// The one-cell pointer under a pile. x is always the middle column of a pile.
struct cursor {
    WINDOW* window = nullptr;  // owned, one cell
    int x = 0;
    int y = 0;
    bool marked = false;  // a selection is being carried
};

// Allocates the cursor with its window under the stock and stores it in *c.
void cursor_alloc(struct cursor** c);
// Puts the cursor under the stock, unmarked.
void cursor_init(struct cursor* c);
// Deletes the window and frees the cursor; the screen is not touched.
void cursor_free(struct cursor* c);
void cursor_mark(struct cursor* c);
void cursor_unmark(struct cursor* c);
// Moves one place; the tableau row follows the height of each pile. Draws nothing.
void cursor_move(struct cursor* c, int direction);
// The direction of one of the eight movement keys. Any other key is a fault of the
// game itself: the screen is ended, the game freed and the process stopped.
int cursor_direction(int key);
// The address of the deck's variable for the pile under the cursor, or null at the gap.
stack** cursor_stack(const struct cursor* c);
bool cursor_on_stock(const struct cursor* c);
// Whether the cursor is at the gap between the waste pile and the foundations.
bool cursor_on_invalid_spot(const struct cursor* c);
