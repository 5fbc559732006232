#pragma once

#include <string>

#include <curses.h>
#include <gtest/gtest.h>

// What one cell of a curses window holds.
struct cell {
    std::wstring text;  // the cell's characters; ACS line characters come back as 'l', 'q' ...
    attr_t attrs = 0;   // attributes without the colour pair
    short pair = 0;
};

// Reads the cell at (y, x) of w.
cell read_cell(WINDOW* w, int y, int x);
// The characters of cells x .. x + length - 1 of row y, as UTF-8.
std::string read_text(WINDOW* w, int y, int x, int length);

// A fresh deck and cursor in the globals: every pile empty at its place on the table,
// the cursor under the stock. A deck or cursor already there is freed first.
void lay_out_empty_table();

// A real curses screen of the given size on /dev/null, with the game's colour pairs and
// a UTF-8 locale, made before each test and ended after it. The game's process-wide
// state is reset around every test.
class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Height and width of the screen; override before SetUp runs.
    int lines = 30;
    int cols = 80;
    bool background_color = true;

private:
    SCREEN* screen_ = nullptr;
    FILE* out_ = nullptr;
    FILE* in_ = nullptr;
};
