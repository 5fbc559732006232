#include <array>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expected_screen.hpp"
#include "player.hpp"
#include "terminal.hpp"

namespace {

// Built once more for the leak label with the game under valgrind: the same sessions,
// longer waits, fewer random keys.
#ifdef QUORVEL_VALGRIND
constexpr milliseconds LIMIT{30000};
constexpr long KEYS_BY_DEFAULT = 1000;
#else
constexpr milliseconds LIMIT{5000};
constexpr long KEYS_BY_DEFAULT = 4000;
#endif

launch session(long long second)
{
    launch how;
    how.fixed_time = second;
#ifdef QUORVEL_VALGRIND
    for (const char* arg : {QUORVEL_VALGRIND, "-q", "--leak-check=full", "--show-leak-kinds=all",
                            "--errors-for-leak-kinds=all", "--error-exitcode=99",
                            "--suppressions=" QUORVEL_SUPPRESSIONS})
        how.wrapper.emplace_back(arg);
#endif
    return how;
}

bool table_blank(const screen_cell& c)
{
    return blank(c) && c.fg == WHITE && c.bg == GREEN;
}

// What no table may show, one fault a line; "" for a sound one. Cards keep to their pile's
// seven columns, a tableau pile is one unbroken column of cards from row 9, and the cursor
// shows once under a pile: "*" in the top row when tidy, else "*" or "@" in either row,
// with a held pile one row low.
std::string table_fault(const terminal& t, bool tidy)
{
    std::string faults;
    auto fault = [&](int row, int col, const std::string& what) {
        faults += "(" + std::to_string(row) + "," + std::to_string(col) + ") " + what + "\n";
    };
    for (const int col : {1, 9, 25, 33, 41, 49}) {
        const screen_cell top = t.cell(1, col);
        const screen_cell corner = t.cell(5, col + 6);
        const bool box = top.text == "┌" && corner.text == "┘";
        if (!box && (col == 1 || top.bg != WHITE || blank(top) || blank(corner)))
            fault(1, col, "no pile");
    }
    std::array<int, 7> last{};  // the last row of each tableau pile
    for (int i = 0; i < 7; ++i) {
        const int col = 1 + 8 * i;
        const int first = 9 + (!tidy && table_blank(t.cell(9, col)) ? 1 : 0);
        int row = first;
        while (row < t.rows() && !table_blank(t.cell(row, col))) ++row;
        last[i] = row - 1;
        const bool bottom_edge =
            t.cell(last[i], col).text == "└" ||
            (t.cell(last[i], col + 6).bg == WHITE && !blank(t.cell(last[i], col + 6)));
        if (row < t.rows() && (row - first < 5 || !bottom_edge)) fault(first, col, "no whole pile");
    }
    int markers = 0;
    for (int row = 0; row < t.rows(); ++row) {
        for (int col = 0; col < t.cols(); ++col) {
            const int i = col / 8;
            const bool in_pile = col % 8 != 0 && i < 7 &&
                                 ((row >= 1 && row <= 5 && i != 2) || (row >= 9 && row <= last[i]));
            const screen_cell c = t.cell(row, col);
            const bool marker = (c.text == "*" || (!tidy && c.text == "@")) && col % 8 == 4 &&
                                i < 7 && (row == 7 || (!tidy && row > last[i] + 1));
            if (marker) ++markers;
            if (!in_pile && !(marker ? c.fg == WHITE && c.bg == GREEN : table_blank(c)))
                fault(row, col, "'" + c.text + "' off the piles");
            if (faults.size() > 400) return faults;
        }
    }
    if (markers != 1) fault(7, 0, std::to_string(markers) + " cursor markers");
    return faults;
}

struct size {
    int rows;
    int cols;
    bool operator==(const size&) const = default;
};

// Resizes once the game is idle and waits until it has drawn for the new size.
void resize(terminal& t, size s)
{
    ASSERT_TRUE(t.wait_idle(LIMIT));
    const std::size_t before = t.output().size();
    t.resize(s.rows, s.cols);
    ASSERT_TRUE(t.wait_for([&](const terminal& x) { return x.output().size() > before; }, LIMIT));
    ASSERT_TRUE(t.wait_idle(LIMIT));
}

// The space bar on the greeting, waiting as long as valgrind may need.
void deal_slowly(terminal& t)
{
    ASSERT_TRUE(t.wait_for_text(17, 19, "Press the space bar", LIMIT));
    t.send(" ");
    ASSERT_TRUE(t.wait_idle(LIMIT));
}

// Drops any held selection, brings the cursor to the top row and redraws at 30x80, where
// the table must be sound; then q must end the game with status 0, silently, the terminal
// as it was, and under valgrind every block of the game's own freed.
void tidy_and_quit(terminal& t, size now)
{
    resize(t, now == size{56, 200} ? size{28, 57} : size{56, 200});
    t.press(key::escape);
    ASSERT_TRUE(t.wait_idle(LIMIT));
    t.send("k");
    resize(t, {30, 80});
    EXPECT_EQ(table_fault(t, true), "");
    t.send("q");
    EXPECT_EQ(t.wait_exit(LIMIT), exited_with(0));
    EXPECT_EQ(t.errors(), "");
    EXPECT_TRUE(t.restored());
}

long from_environment(const char* name, long fallback)
{
    const char* text = std::getenv(name);
    return text != nullptr ? std::strtol(text, nullptr, 10) : fallback;
}

// Every key of play but q, and keys to ignore: capitals, digits, control characters
// (flow control ^S ^Q among them), function keys, UTF-8.
const std::vector<std::string> KEYS{
    "h",  "j",  "k",    "l",    "\x1bOA", "\x1bOB", "\x1bOC", "\x1bOD", " ",       " ",
    " ",  "m",  "M",    "n",    "N",      "\x1b",   "i",      "H",      "x",       "0",
    "\t", "\r", "\x7f", "\x03", "\x13",   "\x11",   "\x1a",   "\x1bOP", "\x1b[2~", "\xc3\xa9"};

const std::vector<size> SIZES{{1, 1},    {3, 10},  {10, 3},  {200, 56},
                              {27, 200}, {28, 57}, {30, 80}, {56, 200}};

// QUORVEL_E2E_SOAK_KEYS and QUORVEL_E2E_SOAK_SEED make it longer or another run.
TEST(Soak, RandomKeysBetweenResizesLeaveASoundTableAndQuitCleanly)
{
    const auto seed = static_cast<unsigned>(from_environment("QUORVEL_E2E_SOAK_SEED", 1));
    const long keys = from_environment("QUORVEL_E2E_SOAK_KEYS", KEYS_BY_DEFAULT);
    SCOPED_TRACE("QUORVEL_E2E_SOAK_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    auto pick = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    terminal t{session(1700000000 + seed)};
    deal_slowly(t);
    size now{30, 80};
    for (long sent = 0; sent < keys && !::testing::Test::HasFailure();) {
        std::string burst;
        for (std::size_t n = 1 + pick(40); n > 0 && sent < keys; --n, ++sent)
            burst += KEYS[pick(KEYS.size())];
        t.send(burst);
        const size next = now;
        while (now == next) now = SIZES[pick(SIZES.size())];
        resize(t, now);
        if (now.rows >= 28 && now.cols >= 57) {
            ASSERT_EQ(table_fault(t, false), "") << "after " << sent << " keys";
        }
    }
    tidy_and_quit(t, now);
}

// Keys that bring the cursor under a tableau pile from anywhere.
std::string to(int pile)
{
    return "khhhhhhj" + std::string(static_cast<std::size_t>(pile), 'l');
}

// One of everything: a card moved; a card exposed; a selection widened and narrowed with
// m M n N and moved as a block; the stock turned through, recycled and turned again; waste
// and tableau cards picked up and put back, which tries the foundations, or dropped; a
// resize. The deal of this second has 9 of clubs, 8 of hearts and 7 of clubs on top of
// tableau piles 3, 6 and 4, and the 8 of diamonds third in the stock.
TEST(Soak, ScriptedSessionMovesCardsAndQuitsCleanly)
{
    terminal t{session(1700000003)};
    deal_slowly(t);
    for (const std::string& keys : std::vector<std::string>{
             to(4) + " " + to(6) + " ", to(4) + " ", to(6) + " mnNMm" + to(3) + " ",
             "khhhhhh" + std::string(24 + 1 + 3, ' '), "khhhhhhl  ", " \x1b", to(3) + "  k"}) {
        t.send(keys);
        ASSERT_TRUE(t.wait_idle(LIMIT));
        EXPECT_EQ(table_fault(t, false), "") << "after " << keys;
    }
    EXPECT_EQ(t.text(12, 25, 3) + t.text(13, 25, 3) + t.text(14, 25, 3) + t.text(1, 9, 3),
              "9\u2663 8\u2665 7\u2663 8\u2666 ");
    resize(t, {27, 56});
    tidy_and_quit(t, {27, 56});
}

#ifdef QUORVEL_VALGRIND
// A whole game played to its win: everything the game made is freed before it says so.
TEST(Soak, WonGameFreesEverythingBeforeSayingSo)
{
    const std::optional<model_game> game = winning_game();
    ASSERT_TRUE(game.has_value());
    terminal t{session(game->second)};
    deal_slowly(t);
    t.send(game->keys);
    EXPECT_EQ(t.wait_exit(LIMIT), exited_with(0));
    EXPECT_TRUE(t.output().ends_with("You won.\r\n"));
    EXPECT_EQ(t.errors(), "");
}
#endif

}  // namespace
