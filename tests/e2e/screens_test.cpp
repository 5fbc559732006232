#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expected_screen.hpp"
#include "terminal.hpp"

namespace {

struct screen_size {
    int rows;
    int cols;
};

std::string shown(screen_size s)
{
    return std::to_string(s.cols) + "x" + std::to_string(s.rows);
}

class TooSmall : public ::testing::TestWithParam<screen_size> {};

TEST_P(TooSmall, ShowsOnlyTheSizeMessageInTableColours)
{
    SCOPED_TRACE(shown(GetParam()));
    terminal t{launch({}, GetParam().rows, GetParam().cols)};
    expect_screen(t, SIZE_MESSAGE, TABLE);
}

INSTANTIATE_TEST_SUITE_P(SizeScreen, TooSmall,
                         ::testing::Values(screen_size{27, 56}, screen_size{28, 56},
                                           screen_size{27, 57}));

class LargeEnough : public ::testing::TestWithParam<screen_size> {};

TEST_P(LargeEnough, ShowsTheGreetingAtOnce)
{
    SCOPED_TRACE(shown(GetParam()));
    terminal t{launch({}, GetParam().rows, GetParam().cols)};
    ASSERT_TRUE(wait_for_greeting(t));
    EXPECT_EQ(t.text(8, 26, 19), "Welcome to quorvel.");
    EXPECT_EQ(t.row_text(1), "");
}

INSTANTIATE_TEST_SUITE_P(SizeScreen, LargeEnough,
                         ::testing::Values(screen_size{28, 57}, screen_size{30, 80}));

TEST(Greeting, LinesStandAtTheirPlacesInTableColours)
{
    terminal t{launch({}, 30, 80)};
    expect_screen(t, GREETING, TABLE);
}

class Narrow : public ::testing::TestWithParam<int> {};

// From 57 columns, where play may start, up: a line too long for its column ends on the
// last one, whole on its row, however the screen came to that width.
TEST_P(Narrow, GreetingLinesStandWholeOnTheirRows)
{
    const int cols = GetParam();
    SCOPED_TRACE(std::to_string(cols) + " columns");
    terminal t{launch({}, 28, cols)};
    expect_screen(t, greeting_at(cols), TABLE);
    t.resize(30, 80);
    expect_screen(t, GREETING, TABLE);
    t.resize(28, cols);
    expect_screen(t, greeting_at(cols), TABLE);
    if (cols == 57) {
        EXPECT_EQ(t.row_text(15), "  and <n> to select fewer. Press <Shift+M> to select all.");
    }
}

INSTANTIATE_TEST_SUITE_P(Greeting, Narrow, ::testing::Values(57, 62, 66, 67));

TEST(Greeting, NoBackgroundColorKeepsTheTerminalsOwnColours)
{
    terminal t{launch({"--no-background-color"}, 30, 80)};
    expect_screen(t, GREETING, TERMINAL_DEFAULT);
}

struct quit_case {
    screen_size screen;
    const char* key;
};

class QuitKey : public ::testing::TestWithParam<quit_case> {};

TEST_P(QuitKey, EndsTheProgramWithStatusZeroAndRestoresTheTerminal)
{
    SCOPED_TRACE(shown(GetParam().screen) + " key " + GetParam().key);
    terminal t{launch({}, GetParam().screen.rows, GetParam().screen.cols)};
    const std::vector<placed>& stage = GetParam().screen.cols < 57 ? SIZE_MESSAGE : GREETING;
    expect_screen(t, stage, TABLE);
    t.send(GetParam().key);
    EXPECT_EQ(t.wait_exit(), exited_with(0));
    EXPECT_TRUE(t.restored());
    EXPECT_EQ(t.errors(), "");
}

INSTANTIATE_TEST_SUITE_P(SizeScreenAndGreeting, QuitKey,
                         ::testing::Values(quit_case{{27, 56}, "q"}, quit_case{{27, 56}, "Q"},
                                           quit_case{{30, 80}, "q"}, quit_case{{30, 80}, "Q"}));

TEST(Resize, FromTooSmallToLargeEnoughBringsTheGreeting)
{
    terminal t{launch({}, 27, 56)};
    expect_screen(t, SIZE_MESSAGE, TABLE);
    t.resize(30, 80);
    expect_screen(t, GREETING, TABLE);
}

// A space pressed while the greeting waits on a too-small screen must not start play.
TEST(Resize, GreetingOnATooSmallScreenShowsTheSizeMessageAndIgnoresTheSpaceBar)
{
    terminal t{launch({}, 30, 80)};
    ASSERT_TRUE(wait_for_greeting(t));
    t.resize(27, 56);
    expect_screen(t, SIZE_MESSAGE, TABLE);
    t.send(" ");
    ASSERT_TRUE(t.wait_idle());
    expect_screen(t, SIZE_MESSAGE, TABLE);
    t.resize(30, 80);
    expect_screen(t, GREETING, TABLE);
    EXPECT_TRUE(deal(t));
}

}  // namespace
