#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "deal.hpp"
#include "expected_screen.hpp"
#include "terminal.hpp"

namespace {

constexpr colours BACK{WHITE, BLUE};

std::string at(int row, int col)
{
    return "(" + std::to_string(row) + "," + std::to_string(col) + ")";
}

void expect_cell(const terminal& t, int row, int col, const std::string& text, colours in)
{
    const screen_cell c = t.cell(row, col);
    if (text == " ") {
        EXPECT_TRUE(blank(c)) << at(row, col) << " shows '" << c.text << "'";
    } else {
        EXPECT_EQ(c.text, text) << at(row, col);
    }
    EXPECT_EQ(c.fg, in.fg) << at(row, col) << " '" << text << "'";
    EXPECT_EQ(c.bg, in.bg) << at(row, col) << " '" << text << "'";
}

// Cells from row, col on, one character of line to a cell.
void expect_line(const terminal& t, int row, int col, const std::vector<std::string>& line,
                 colours in)
{
    for (std::size_t i = 0; i < line.size(); ++i)
        expect_cell(t, row, col + static_cast<int>(i), line[i], in);
}

const std::vector<std::string> BOX_TOP{"┌", "─", "─", "─", "─", "─", "┐"};
const std::vector<std::string> BOX_SIDES{"│", " ", " ", " ", " ", " ", "│"};
const std::vector<std::string> BOX_BOTTOM{"└", "─", "─", "─", "─", "─", "┘"};

void expect_box(const terminal& t, int row, int col, colours in)
{
    expect_line(t, row, col, BOX_TOP, in);
    for (int i = 1; i <= 3; ++i) expect_line(t, row + i, col, BOX_SIDES, in);
    expect_line(t, row + 4, col, BOX_BOTTOM, in);
}

// A whole face: white, the rank in black at the top left and bottom right, each with the
// suit symbol beside it in the suit's colour, nothing in between.
void expect_face(const terminal& t, int row, int col, dealt_card card, int suit_colour)
{
    SCOPED_TRACE(std::string("card ") + RANKS[card.value] + SUITS[card.suit] + " at " +
                 at(row, col));
    const std::string rank = RANKS[card.value];
    const int length = static_cast<int>(rank.size());
    const colours label{BLACK, WHITE};
    const colours symbol{suit_colour, WHITE};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(t.cell(row + y, col + x).bg, WHITE) << at(row + y, col + x);
    for (int i = 0; i < length; ++i) {
        expect_cell(t, row, col + i, rank.substr(i, 1), label);
        expect_cell(t, row + 4, col + 7 - length + i, rank.substr(i, 1), label);
    }
    expect_cell(t, row, col + length, SUITS[card.suit], symbol);
    expect_cell(t, row + 4, col + 6 - length, SUITS[card.suit], symbol);
    for (int x = length + 1; x < 7; ++x)
        EXPECT_TRUE(blank(t.cell(row, col + x))) << at(row, col + x);
    for (int y = 1; y < 4; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_TRUE(blank(t.cell(row + y, col + x))) << at(row + y, col + x);
    for (int x = 0; x < 6 - length; ++x)
        EXPECT_TRUE(blank(t.cell(row + 4, col + x))) << at(row + 4, col + x);
}

struct deal_case {
    std::vector<std::string> args;
    long long second;                 // the clock the shuffle is seeded from
    std::array<int, 4> suit_colours;  // by suit: diamonds, spades, hearts, clubs
};

class Deal : public ::testing::TestWithParam<deal_case> {};

TEST_P(Deal, SpaceOnTheGreetingDealsThePredictedTable)
{
    const deal_case& param = GetParam();
    launch how(param.args);
    how.fixed_time = param.second;
    terminal t{how};
    ASSERT_TRUE(deal(t));

    expect_cell(t, 7, 4, "*", TABLE);
    expect_box(t, 1, 1, BACK);                                         // the full stock
    for (int col : {9, 25, 33, 41, 49}) expect_box(t, 1, col, TABLE);  // empty piles
    for (int y = 1; y <= 5; ++y) expect_line(t, y, 17, std::vector<std::string>(7, " "), TABLE);

    const predicted_deal predicted = predict_deal(static_cast<unsigned>(param.second));
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE("tableau pile " + std::to_string(i));
        const int col = 1 + 8 * i;
        // Every covered card shows the top line of its back above the next card.
        for (int below = 0; below < i; ++below) expect_line(t, 9 + below, col, BOX_TOP, BACK);
        const dealt_card top = predicted.tableau[static_cast<std::size_t>(i)].back();
        expect_face(t, 9 + i, col, top, param.suit_colours[static_cast<std::size_t>(top.suit)]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    FixedClock, Deal,
    ::testing::Values(deal_case{{}, 1700000000, {RED, BLACK, RED, BLACK}},
                      deal_case{{}, 1234567890, {RED, BLACK, RED, BLACK}},
                      deal_case{{"--four-color-deck"}, 1700000000, {YELLOW, GREEN, RED, BLACK}}));

// Arrow keys arrive in the terminal's application cursor mode; h, j, k, l do the same.
TEST(Deal, ArrowKeysAndLettersMoveTheCursorAlike)
{
    struct step {
        key arrow;
        const char* letter;
        int row;  // where the cursor stands after the key
        int col;
    };
    // Right to the waste pile, down under the two-card pile, left under the one-card
    // pile, up to the stock.
    const std::vector<step> path{{key::right, "l", 7, 12},
                                 {key::down, "j", 16, 12},
                                 {key::left, "h", 15, 4},
                                 {key::up, "k", 7, 4}};
    for (const bool arrows : {true, false}) {
        SCOPED_TRACE(arrows ? "arrow keys" : "letters");
        terminal t{launch()};
        ASSERT_TRUE(deal(t));
        int row = 7;
        int col = 4;
        for (const step& s : path) {
            if (arrows) {
                t.press(s.arrow);
            } else {
                t.send(s.letter);
            }
            EXPECT_TRUE(t.wait_for_text(s.row, s.col, "*")) << "expected at " << at(s.row, s.col);
            if (row != s.row || col != s.col) {
                EXPECT_TRUE(blank(t.cell(row, col))) << "left behind at " << at(row, col);
            }
            row = s.row;
            col = s.col;
        }
    }
}

}  // namespace
