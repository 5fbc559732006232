#pragma once

#include <array>
#include <cstdlib>
#include <vector>

// The deal of a given second, worked out here from the C library's generator alone, so
// that tests can check the game's deal without asking the game.

struct dealt_card {
    int value;
    int suit;
    bool operator==(const dealt_card&) const = default;
};

struct predicted_deal {
    std::array<std::vector<dealt_card>, 7> tableau;  // each pile from its bottom card up
    std::vector<dealt_card> stock;                   // from the top card down
};

inline predicted_deal predict_deal(unsigned seed)
{
    // The cards come off a stock built ace of diamonds first, so the king of clubs leads.
    std::array<dealt_card, 52> cards{};
    for (int i = 0; i < 52; ++i) cards[i] = {(51 - i) / 4, (51 - i) % 4};
    std::srand(seed);
    for (int j = 0; j < 52; ++j) {
        const int k = std::rand() % 52;
        const dealt_card held = cards[j];
        cards[j] = cards[k];
        cards[k] = held;
    }
    predicted_deal deal;
    int next = 51;  // the last card of the array is on top of the stock
    for (int sweep = 0; sweep < 7; ++sweep)
        for (int pile = sweep; pile < 7; ++pile) deal.tableau[pile].push_back(cards[next--]);
    for (; next >= 0; --next) deal.stock.push_back(cards[next]);
    return deal;
}
