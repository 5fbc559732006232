#pragma once

#include <optional>
#include <string>
#include <vector>

#include "player.hpp"
#include "terminal.hpp"

// The scripted game that the benchmark and the screenshot play through the real binary:
// the keys a player types for one fixed deal, from the greeting's space bar to the key
// that wins, the greedy player's moves over the table's model. Besides its moves the
// player widens and narrows its selections, changes its mind twice (escape), offers a
// card where it does not go, and resizes the terminal three times, once to a size too
// small to play in.

// The second whose deal the script plays; the game is started with its clock fixed there.
inline constexpr long long SCRIPT_TIME = 1700000108;

struct keystroke {
    std::string bytes;         // typed as they are; empty for a named key or a resize
    std::optional<key> named;  // an arrow or the escape key
    int rows = 0;              // a change of terminal size to rows x cols when not 0
    int cols = 0;
    std::string label;  // the key as a player names it
    std::string kind;   // what sort of key it is, for figures by kind
    std::string note;   // what it does in this game
    // Checked after this keystroke, the last of a move: the top of every pile.
    std::optional<model_table> table;
};

// The keys of the deal of SCRIPT_TIME, made once: the first on the greeting, the last
// the one that wins.
const std::vector<keystroke>& scripted_game();

// Types the keystroke into the game.
void type(terminal& t, const keystroke& k);
// Waits until the game has handled the keystroke and drawn all it draws for it; false
// if it is still busy at the limit.
bool wait_handled(terminal& t, const keystroke& k, milliseconds limit);
// The piles whose top the screen does not show as k.table has it, one a line; "" when
// it shows them all.
std::string table_mismatch(const terminal& t, const keystroke& k);
