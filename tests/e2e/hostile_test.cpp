#include <algorithm>
#include <array>
#include <csignal>
#include <filesystem>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "deal.hpp"
#include "expected_screen.hpp"
#include "terminal.hpp"

namespace {

constexpr long long SECOND = 1700000000;
using suit_texts = std::array<std::string, 4>;
const suit_texts SYMBOLS{"\u2666", "\u2660", "\u2665", "\u2663"};
const suit_texts LETTERS{"d", "s", "h", "c"};

// The game at 30x80 or the given size, dealing as at SECOND, with variables such as
// "LC_ALL= LANG=C" on top of the harness' own.
launch dealing(std::string_view env = "", int rows = 30, int cols = 80)
{
    launch how({}, rows, cols);
    how.fixed_time = SECOND;
    for (std::size_t at = 0; at < env.size();) {
        const std::size_t end = std::min(env.find(' ', at), env.size());
        const std::string_view var = env.substr(at, end - at);
        how.env.emplace_back(var.substr(0, var.find('=')), var.substr(var.find('=') + 1));
        at = end + 1;
    }
    return how;
}

int markers(const terminal& t)
{
    int count = 0;
    for (int row = 0; row < t.rows(); ++row)
        for (int col = 0; col < t.cols(); ++col) count += t.cell(row, col).text == "*";
    return count;
}

// Once the game is idle: the table as dealt at SECOND, every tableau top card whole within
// its seven columns, coloured where the terminal has colours, and one cursor at row, col.
void expect_dealt(terminal& t, const suit_texts& suits, bool colour, int row = 7, int col = 4)
{
    ASSERT_TRUE(t.wait_idle());
    EXPECT_EQ(t.text(row, col, 1), "*");
    EXPECT_EQ(markers(t), 1);
    EXPECT_EQ(t.text(1, 1, 8) + t.text(5, 1, 8), "┌─────┐ └─────┘ ");
    const predicted_deal d = predict_deal(SECOND);
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE("tableau pile " + std::to_string(i));
        const int x = 1 + 8 * i;
        const dealt_card top = d.tableau[static_cast<std::size_t>(i)].back();
        const std::string label = RANKS[static_cast<std::size_t>(top.value)];
        const std::string pad(6 - label.size(), ' ');
        const std::string suit = suits[static_cast<std::size_t>(top.suit)];
        for (int y = 9; y < 9 + i; ++y) EXPECT_EQ(t.text(y, x, 8), "┌─────┐ ");
        EXPECT_EQ(t.text(9 + i, x, 8), label + suit + pad + " ");
        EXPECT_EQ(t.text(13 + i, x, 8), pad + suit + label + " ");
        if (!colour) continue;
        EXPECT_EQ(t.cell(9, x).bg, i > 0 ? BLUE : WHITE);
        EXPECT_EQ(t.cell(9 + i, x + static_cast<int>(label.size())).fg,
                  top.suit % 2 != 0 ? BLACK : RED);
    }
    EXPECT_TRUE(!colour || (t.cell(row, col).fg == WHITE && t.cell(row, col).bg == GREEN));
}

void expect_quits_cleanly(terminal& t, const std::string& keys = "q")
{
    t.send(keys);
    EXPECT_EQ(t.wait_exit(), exited_with(0));
    EXPECT_EQ(t.errors(), "");
    EXPECT_TRUE(t.restored());
}

// The size message from row 1, column 1, wrapped at the right edge and cut at the bottom,
// and nothing else, all in the table's colours ("#" marks a cell in other colours).
void expect_size_message(terminal& t)
{
    std::string want(static_cast<std::size_t>(t.cols() + 1), ' ');
    want = t.cols() < 2 ? "" : want + std::string(SIZE_MESSAGE[0].text);
    want.resize(static_cast<std::size_t>(t.rows() * t.cols()), ' ');
    auto shown = [](const terminal& s) {
        std::string text;
        for (int k = 0; k < s.rows() * s.cols(); ++k) {
            const screen_cell c = s.cell(k / s.cols(), k % s.cols());
            text += c.fg != WHITE || c.bg != GREEN ? "#" : blank(c) ? " " : c.text;
        }
        return text;
    };
    t.wait_for([&](const terminal& s) { return shown(s) == want; });
    EXPECT_EQ(shown(t), want);
}

struct size {
    int rows;
    int cols;
};

struct storm_case {
    const char* name;
    size start;
    bool play;
    std::vector<size> sizes;  // the last one stays
};

class ResizeStorm : public ::testing::TestWithParam<storm_case> {};

// Resizes one after another with no key between, more SIGWINCH on top of each; once the
// game is quiet one SIGWINCH more, which curses sees for certain (a missed one is tested
// below), and a key: the screen is the one for the last size, and q quits.
TEST_P(ResizeStorm, EndsOnTheScreenForTheLastSize)
{
    const storm_case& param = GetParam();
    terminal t{dealing("", param.start.rows, param.start.cols)};
    ASSERT_TRUE(!param.play || deal(t));
    for (const size s : param.sizes) {
        t.resize(s.rows, s.cols);
        for (int i = 0; i < 3; ++i) t.send_signal(SIGWINCH);
    }
    ASSERT_TRUE(t.settle() && t.wait_idle());
    t.send_signal(SIGWINCH);
    t.send("l");
    if (t.rows() < 28 || t.cols() < 57) {
        expect_size_message(t);
    } else if (param.play) {
        expect_dealt(t, SYMBOLS, true, 7, 12);
    } else {
        expect_screen(t, GREETING, TABLE);
    }
    expect_quits_cleanly(t);
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, ResizeStorm,
    ::testing::Values(
        storm_case{"Tiny1x1", {1, 1}, false, {}}, storm_case{"Tiny2x2", {2, 2}, false, {}},
        storm_case{"Flat10x3", {3, 10}, false, {}}, storm_case{"Thin3x10", {10, 3}, false, {}},
        storm_case{"Narrow56x200", {200, 56}, false, {}},
        storm_case{"Low200x27", {27, 200}, false, {}},
        storm_case{"SizeScreenToGreeting", {27, 56}, false, {{1, 1}, {200, 56}, {3, 10}, {30, 80}}},
        storm_case{"GreetingToSizeScreen", {30, 80}, false, {{28, 57}, {1, 1}, {27, 200}}},
        storm_case{
            "PlayToTable", {30, 80}, true, {{1, 1}, {56, 200}, {10, 3}, {200, 56}, {30, 80}}},
        storm_case{"PlayToSizeScreen", {30, 80}, true, {{56, 200}, {1, 1}, {28, 57}, {3, 10}}}),
    [](const ::testing::TestParamInfo<storm_case>& p) { return p.param.name; });

struct missed_case {
    const char* name;
    size small;
};

class MissedResize : public ::testing::TestWithParam<missed_case> {};

// Curses learns of a change of size only from SIGWINCH, and misses one that lands hard on
// the heels of another. Here the signal is blocked, so curses misses them all: the game
// takes up the terminal's real size at the next key, a change of one side alone too, and
// redraws for it, into the size message and back to the table.
TEST_P(MissedResize, NextKeyShowsTheScreenForTheRealSize)
{
    launch how = dealing();
    how.deaf_to_resize = true;
    terminal t{how};
    ASSERT_TRUE(deal(t));
    t.resize(GetParam().small.rows, GetParam().small.cols);
    t.send("x");
    expect_size_message(t);
    t.resize(30, 80);
    t.send("x");
    expect_dealt(t, SYMBOLS, true);
    expect_quits_cleanly(t);
}

INSTANTIATE_TEST_SUITE_P(Hostile, MissedResize,
                         ::testing::Values(missed_case{"HeightAlone", {27, 80}},
                                           missed_case{"WidthAlone", {30, 56}}),
                         [](const ::testing::TestParamInfo<missed_case>& p) {
                             return p.param.name;
                         });

// A size in the environment rules over the terminal's, for curses and the game alike, even
// when only one side is given: a key leaves the size message of the size curses took.
TEST(Hostile, OneSideOfTheSizeFromTheEnvironmentStands)
{
    const std::string message(SIZE_MESSAGE[0].text);
    for (const char* side : {"LINES=27", "COLUMNS=56"}) {
        SCOPED_TRACE(side);
        terminal t{dealing(side)};
        ASSERT_TRUE(t.wait_idle());
        t.send(" ");
        ASSERT_TRUE(t.wait_idle());
        EXPECT_EQ(t.text(1, 1, 50), message.substr(0, 50));
        expect_quits_cleanly(t);
    }
}

enum class outcome { symbols, letters, colourless, blind, refused, unaddressable };

struct environment_case {
    const char* name;
    const char* env;  // an empty LC_ALL counts as unset
    outcome expected;
    const char* script = nullptr;  // bash that runs the game, given as $0
};

class Environment : public ::testing::TestWithParam<environment_case> {};

// Without UTF-8 the suits are letters, one cell each, so every card keeps its 7 columns.
// Arrow keys work with or without an application cursor mode. A terminal curses does not
// know ends the game at once with curses' complaint, one that cannot place its cursor
// with the game's own, before anything is written to it; where the screen cannot be
// seen the game still quits.
TEST_P(Environment, PlaysOrRefusesAtOnce)
{
    const outcome expected = GetParam().expected;
    launch how = dealing(GetParam().env);
    if (GetParam().script != nullptr) {
        how.wrapper = {"/bin/bash", "-c", GetParam().script};
        // The clock's preload library is for the game alone: the shell would take it too,
        // and cannot when the game is built for another word size. A blind game shows no
        // deal to check anyway.
        how.fixed_time.reset();
    }
    terminal t{how};
    if (expected == outcome::unaddressable) {
        EXPECT_EQ(t.wait_exit(), exited_with(1));
        EXPECT_EQ(t.errors(),
                  "quorvel: cannot play on terminal type \"dumb\": it has no cursor "
                  "addressing\n");
        EXPECT_EQ(t.output(), "");
        EXPECT_TRUE(t.restored());
        return;
    }
    if (expected == outcome::refused) {
        const ending end = t.wait_exit();
        EXPECT_TRUE(end.how == ending::exited && end.code != 0) << end;
        EXPECT_NE(t.errors().find("Error opening terminal"), std::string::npos) << t.errors();
        EXPECT_TRUE(t.restored());
        return;
    }
    ASSERT_TRUE(t.wait_idle());
    t.send(" ");
    if (expected == outcome::blind) return expect_quits_cleanly(t, "lq\r");
    expect_dealt(t, expected == outcome::letters ? LETTERS : SYMBOLS,
                 expected != outcome::colourless);
    // Right, down under the two-card pile, left under the one-card pile, up to the stock.
    for (const auto& [arrow, row, col] : std::vector<std::tuple<key, int, int>>{
             {key::right, 7, 12}, {key::down, 16, 12}, {key::left, 15, 4}, {key::up, 7, 4}}) {
        t.press(arrow);
        ASSERT_TRUE(t.wait_idle());
        EXPECT_EQ(t.text(row, col, 1), "*") << "after an arrow, at " << row << "," << col;
        EXPECT_EQ(markers(t), 1);
    }
    expect_quits_cleanly(t);
}

using env = environment_case;
INSTANTIATE_TEST_SUITE_P(
    Hostile, Environment,
    ::testing::Values(
        env{"CUtf8", "LC_ALL=C.UTF-8", outcome::symbols},
        env{"CUtf8Lowercase", "LC_ALL=C.utf8", outcome::symbols},
        env{"LangCUtf8", "LC_ALL= LC_CTYPE= LANG=C.UTF-8", outcome::symbols},
        env{"CtypeUtf8LangC", "LC_ALL= LC_CTYPE=C.UTF-8 LANG=C", outcome::symbols},
        env{"C", "LC_ALL=C", outcome::letters}, env{"Posix", "LC_ALL=POSIX", outcome::letters},
        env{"LangC", "LC_ALL= LC_CTYPE= LANG=C", outcome::letters},
        env{"Utf8NotInstalled", "LC_ALL=xx_YY.UTF-8", outcome::letters},
        env{"Xterm", "TERM=xterm", outcome::symbols}, env{"Linux", "TERM=linux", outcome::symbols},
        env{"Screen", "TERM=screen", outcome::symbols},
        env{"Vt100", "TERM=vt100", outcome::colourless},
        env{"Dumb", "TERM=dumb", outcome::unaddressable},
        env{"UnknownTerm", "TERM=nosuchterm", outcome::refused},
        env{"EmptyTerm", "TERM=", outcome::refused},
        // The screen goes where standard output goes; keys still come from the terminal.
        env{"OutputToAFile", "", outcome::blind, R"(exec "$0" 2>&0 >/dev/null)"},
        env{"OutputToAPipe", "", outcome::blind,
            R"("$0" 2>&0 | cat >/dev/null; exit ${PIPESTATUS[0]})"},
        // With neither output a terminal curses cannot set the terminal's modes: keys
        // arrive a line at a time.
        env{"NoOutputIsATerminal", "", outcome::blind, R"(exec "$0" >/dev/null)"}),
    [](const ::testing::TestParamInfo<environment_case>& p) { return p.param.name; });

TEST(Hostile, VeryLongProgramPathPlaysAndQuits)
{
    namespace fs = std::filesystem;
    const fs::path top = fs::path(::testing::TempDir()) / ("quorvel_" + std::to_string(getpid()));
    const fs::path dir =
        top / std::string(250, 'a') / std::string(250, 'b') / std::string(250, 'c');
    fs::create_directories(dir);
    fs::create_symlink(program_under_test(), dir / "quorvel");
    launch how = dealing();
    how.program = (dir / "quorvel").string();
    {
        terminal t{how};
        ASSERT_TRUE(deal(t));
        expect_dealt(t, SYMBOLS, true);
        expect_quits_cleanly(t);
    }
    fs::remove_all(top);
}

}  // namespace
