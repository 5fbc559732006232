#pragma once

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "terminal.hpp"

// Colour numbers as the terminal shows them.
inline constexpr int BLACK = 0;
inline constexpr int RED = 1;
inline constexpr int GREEN = 2;
inline constexpr int YELLOW = 3;
inline constexpr int BLUE = 4;
inline constexpr int WHITE = 7;

struct colours {
    int fg;
    int bg;
};
inline constexpr colours TABLE{WHITE, GREEN};
inline constexpr colours TERMINAL_DEFAULT{DEFAULT_COLOUR, DEFAULT_COLOUR};

// A card's rank and, in a UTF-8 locale, its suit as the game shows them.
inline constexpr std::array<const char*, 13> RANKS{"A", "2", "3",  "4", "5", "6", "7",
                                                   "8", "9", "10", "J", "Q", "K"};
inline constexpr std::array<const char*, 4> SUITS{"\u2666", "\u2660", "\u2665", "\u2663"};

inline bool blank(const screen_cell& c)
{
    return c.text.empty() || c.text == " ";
}

// Every cursor mark on the screen, as "@ 17,12", so that a mark left behind shows too.
inline std::string cursor_marks(const terminal& t)
{
    std::string marks;
    for (int row = 0; row < t.rows(); ++row)
        for (int col = 0; col < t.cols(); ++col)
            if (const std::string c = t.cell(row, col).text; c == "*" || c == "@")
                marks += (marks.empty() ? "" : " ") + c + " " + std::to_string(row) + "," +
                         std::to_string(col);
    return marks;
}

// Text printed at a row and column of the screen.
struct placed {
    int row;
    int col;
    std::string_view text;  // one cell per byte
};

// How the screen differs from one that holds only the given texts, each wrapped at the
// right edge onto the next row as curses prints it, on blank cells, every cell in the
// given colours. Empty when it does not; else the first differences, one per line.
inline std::string screen_mismatch(const terminal& t, const std::vector<placed>& texts, colours in)
{
    std::vector<std::string> expected(static_cast<std::size_t>(t.rows()),
                                      std::string(static_cast<std::size_t>(t.cols()), ' '));
    for (const placed& p : texts) {
        int row = p.row;
        int col = p.col;
        for (const char ch : p.text) {
            if (col == t.cols()) {
                ++row;
                col = 0;
            }
            expected[static_cast<std::size_t>(row)][static_cast<std::size_t>(col++)] = ch;
        }
    }
    std::string report;
    int reported = 0;
    for (int row = 0; row < t.rows() && reported < 5; ++row) {
        for (int col = 0; col < t.cols() && reported < 5; ++col) {
            const screen_cell c = t.cell(row, col);
            const char want =
                expected[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
            const bool text_ok = want == ' ' ? blank(c) : c.text == std::string(1, want);
            if (text_ok && c.fg == in.fg && c.bg == in.bg) continue;
            report += "(" + std::to_string(row) + "," + std::to_string(col) + ") shows '" + c.text +
                      "' in " + std::to_string(c.fg) + " on " + std::to_string(c.bg) +
                      ", expected '" + want + "' in " + std::to_string(in.fg) + " on " +
                      std::to_string(in.bg) + "\n";
            ++reported;
        }
    }
    return report;
}

// Waits for the screen to hold exactly the texts, then checks it does.
inline void expect_screen(terminal& t, const std::vector<placed>& texts, colours in)
{
    t.wait_for([&](const terminal& s) { return screen_mismatch(s, texts, in).empty(); });
    EXPECT_EQ(screen_mismatch(t, texts, in), "");
}

inline const std::vector<placed> SIZE_MESSAGE{
    {1, 1, "Please increase your terminal size to at least 57x28 or press q to quit."}};

inline const std::vector<placed> GREETING{
    {8, 26, "Welcome to quorvel."},
    {10, 21, "Move with the arrow keys or <hjkl>."},
    {12, 18, "Use the space bar to select and place cards."},
    {14, 13, "After selecting a card you can use <m> to select more"},
    {15, 12, "and <n> to select fewer. Press <Shift+M> to select all."},
    {17, 19, "Press the space bar to play or q to quit."},
};

// The greeting on a screen of the given width: each line on its row, at its column where
// it fits, else ending on the last column.
inline std::vector<placed> greeting_at(int cols)
{
    std::vector<placed> lines = GREETING;
    for (placed& line : lines) {
        const int length = static_cast<int>(line.text.size());
        if (line.col + length > cols) line.col = std::max(0, cols - length);
    }
    return lines;
}

// Waits for the last line of the greeting, which is printed with the rest in one refresh.
inline bool wait_for_greeting(terminal& t)
{
    const placed last = greeting_at(t.cols()).back();
    return t.wait_for_text(last.row, last.col, "Press the space bar");
}

// The space bar on the greeting; true once the dealt table is drawn whole. The last
// cell drawn is the rank in the bottom-right corner of the last tableau pile's top card.
// A game given a fixed clock must have dealt from it: a test that expects its cards
// fails here, saying so, rather than on the first card of another deal.
inline bool deal(terminal& t)
{
    if (!wait_for_greeting(t)) return false;
    t.send(" ");
    const bool dealt = t.wait_for([](const terminal& s) {
        const screen_cell last = s.cell(19, 55);
        return last.text.size() == 1 &&
               std::isalnum(static_cast<unsigned char>(last.text[0])) != 0 && last.bg == WHITE;
    });
    if (dealt && !t.fixed_clock_read()) {
        ADD_FAILURE() << "the fixed clock is not in effect: the game dealt without asking the "
                         "preload library for the time (was it built for another time_t?)";
        return false;
    }
    return dealt;
}
