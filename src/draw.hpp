#pragma once

#include "card.hpp"
#include "cursor.hpp"
#include "deck.hpp"
#include "stack.hpp"

// Every operation here refreshes the one window it drew into. A window that cannot
// stand at its own place on the screen (a card below the last line) is not drawn at
// all, so nothing is ever painted anywhere but where it belongs.

// The face, or for a covered card (or anything not exposed) the back.
void draw_card(const card* c);
// An empty pile's box, a tableau pile fanned from its bottom card up, else the top card.
// A tableau pile is drawn through a copy of its cards, each with a window of its own,
// made and deleted at every draw.
void draw_stack(const stack* pile);
void draw_deck(const struct deck* d);
// Moves the cursor window to the cursor's place and shows "@" or "*".
void draw_cursor(const struct cursor* c);
// Blanks the card's window in the table's colours.
void erase_card(const card* c);
// Blanks every card of a tableau pile, or the top card of any other pile.
void erase_stack(const stack* pile);
// Blanks the cursor's cell, marker shown or not; a window that a failed draw left away
// from the cursor's place, showing no marker, is left alone.
void erase_cursor(const struct cursor* c);
