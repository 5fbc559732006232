#pragma once

#include "cursor.hpp"
#include "stack.hpp"

inline constexpr int SPACE = ' ';

// q and Q end the program from every screen, whatever its size.
bool is_quit_key(int key);
// Blocks for the next key from the standard screen. When the keyboard is gone for good
// (input at end of file, the terminal closed) the screen is ended, the game freed and
// the process exits with a failure status, rather than spinning on errors forever.
int read_key();
// Acts on one key in play. Quitting does not return.
void handle_key(int key);
// Picks up the card or run under the cursor and reads keys until it is placed or
// dropped. Returns at once over the gap or an empty pile.
void select_and_place(struct cursor* c);

// The selection on a tableau pile, read from the rows of its cards: each selected card
// stands one row below its resting row.
int marked_cards_count(const stack* pile);
// Brings the selected cards back to their resting rows; draws nothing.
void unmark_cards(stack* pile);
