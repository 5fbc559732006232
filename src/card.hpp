#pragma once

#include <cstdint>

#include "frame.hpp"

// Ranks run from the ace to the king; -1 marks the placeholder of an empty pile.
inline constexpr int NO_VALUE = -1;
inline constexpr int ACE = 0;
inline constexpr int KING = 12;

// Even suits are red, odd suits black: the colour rules look at nothing else.
inline constexpr int NO_SUIT = -1;
inline constexpr int DIAMONDS = 0;
inline constexpr int SPADES = 1;
inline constexpr int HEARTS = 2;
inline constexpr int CLUBS = 3;

inline constexpr int NO_FACE = -1;
inline constexpr int COVERED = 0;
inline constexpr int EXPOSED = 1;

// A playing card, or with all three numbers -1 the placeholder that keeps an empty
// pile's place on the table. Whether it is selected shows only in its frame's row.
struct card {
    struct frame* frame = nullptr;  // owned
    std::int32_t value = NO_VALUE;
    std::int32_t suit = NO_SUIT;
    std::int32_t face = NO_FACE;
};

// Allocates a card with its frame and window and stores it in *c.
void card_alloc(card** c);
// Makes the card a placeholder at row 0, column 0.
void card_init(card* c);
// Frees the card with its frame and window; the screen is left as it is.
void card_free(card* c);
// Moves the card's frame to its place, then stores its rank, suit and face.
void card_set(card* c, int value, int suit, int face, int begin_y, int begin_x);
// A deep copy with a window of its own; the caller owns it.
card* card_dup(const card* c);

void card_expose(card* c);
void card_cover(card* c);
// A selected card stands one row below its resting row.
void card_mark(card* c);
void card_unmark(card* c);
