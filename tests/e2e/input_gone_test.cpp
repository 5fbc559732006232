#include <csignal>
#include <string>

#include <gtest/gtest.h>

#include "expected_screen.hpp"
#include "terminal.hpp"

namespace {

// Waiting for a key that can never come would spin forever; the game must give up
// promptly, say why and leave the terminal as it found it.
constexpr milliseconds PROMPTLY{1500};

void expect_failure_ending(terminal& t)
{
    const ending end = t.wait_exit(PROMPTLY);
    EXPECT_EQ(end.how, ending::exited) << end;
    EXPECT_NE(end.code, 0) << end;
    EXPECT_TRUE(t.errors().starts_with("quorvel: ")) << t.errors();
    EXPECT_EQ(t.errors().find('\n'), t.errors().size() - 1) << t.errors();
}

struct stage {
    const char* name;
    int rows;
    int cols;
};

class EndOfInput : public ::testing::TestWithParam<stage> {};

TEST_P(EndOfInput, EndsWithFailureAndRestoresTheTerminal)
{
    const std::string name = GetParam().name;
    launch how({}, GetParam().rows, GetParam().cols);
    how.input_pipe = true;
    terminal t{how};
    if (name == "SizeScreen") {
        expect_screen(t, SIZE_MESSAGE, TABLE);
    } else if (name == "Greeting") {
        expect_screen(t, GREETING, TABLE);
    } else {
        ASSERT_TRUE(deal(t));
    }

    t.close_input();
    expect_failure_ending(t);
    EXPECT_TRUE(t.restored());
}

INSTANTIATE_TEST_SUITE_P(InputGone, EndOfInput,
                         ::testing::Values(stage{"SizeScreen", 27, 56}, stage{"Greeting", 30, 80},
                                           stage{"Play", 30, 80}),
                         [](const ::testing::TestParamInfo<stage>& p) { return p.param.name; });

// With the hangup ignored, every read of the closed terminal fails with EIO.
TEST(InputGone, ClosedTerminalWhileHangupIsIgnoredEndsPlayWithFailure)
{
    launch how;
    how.ignore_hangup = true;
    terminal t{how};
    ASSERT_TRUE(deal(t));
    t.hang_up();
    expect_failure_ending(t);
}

// The check that the terminal came back must be able to fail: a game killed in play
// leaves it raw, without echo and with the cursor hidden.
TEST(InputGone, KilledGameLeavesTheTerminalUnrestored)
{
    terminal t{launch()};
    ASSERT_TRUE(deal(t));
    t.send_signal(SIGKILL);
    EXPECT_EQ(t.wait_exit(), killed_by(SIGKILL));
    EXPECT_FALSE(t.restored());
}

}  // namespace
