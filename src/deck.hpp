#pragma once

#include <array>

#include "stack.hpp"

inline constexpr int FOUNDATION_COUNT = 4;
inline constexpr int TABLEAU_COUNT = 7;

// The 13 piles of a game, each owned by the deck. Operations on every pile take them
// in field order.
struct deck {
    stack* stock = nullptr;
    stack* waste_pile = nullptr;
    std::array<stack*, FOUNDATION_COUNT> foundation{};
    std::array<stack*, TABLEAU_COUNT> tableau{};
};

// Allocates the deck and its 13 piles and stores it in *d.
void deck_alloc(struct deck** d);
// Makes every pile of a deck fresh from deck_alloc empty, at row 0, column 0.
void deck_init(struct deck* d);
// Frees every pile with every card on it, then the deck; erases nothing.
void deck_free(struct deck* d);
