#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "expected_screen.hpp"
#include "terminal.hpp"
#include "version.hpp"

namespace {

using args = std::vector<std::string>;

// What the terminal receives for lines of standard output: its line discipline turns
// every newline into a carriage return and a newline.
std::string on_terminal(std::string_view lines)
{
    std::string out;
    for (const char ch : lines) out += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    return out;
}

const std::string USAGE = on_terminal(
    "usage: quorvel [OPTIONS]\n"
    "  -v, --version              Show version\n"
    "  -h, --help                 Show this message\n"
    "  -p, --passes               Number of passes through the deck  (default: 3)\n"
    "      --four-color-deck      Draw unique card suit colors       (default: false)\n"
    "      --no-background-color  Don't draw background color        (default: false)\n");

const std::string VERSION = on_terminal(std::string(PROGRAM_VERSION) + "\n");

// The command line as a shell would show it, for failure messages.
std::string shown(const args& command_line)
{
    std::string out = "quorvel";
    for (const std::string& arg : command_line) out += " '" + arg + "'";
    return out;
}

struct printing_case {
    args command_line;
    std::string expected;  // the whole output: no curses set-up may come before or after
    int status;            // 2 for a command line the parser rejects, after its complaint
};

class PrintAndExit : public ::testing::TestWithParam<printing_case> {};

TEST_P(PrintAndExit, PrintsOnlyItsTextAndLeavesTheTerminalAlone)
{
    SCOPED_TRACE(shown(GetParam().command_line));
    terminal t{launch(GetParam().command_line)};
    EXPECT_EQ(t.wait_exit(), exited_with(GetParam().status));
    EXPECT_EQ(t.output(), GetParam().expected);
    EXPECT_EQ(t.errors().empty(), GetParam().status == 0) << t.errors();
    EXPECT_TRUE(t.restored());
}

// What the parser says on standard error about an option it rejects is its own affair:
// only that it says something is checked.
INSTANTIATE_TEST_SUITE_P(
    CommandLine, PrintAndExit,
    ::testing::Values(printing_case{{"-h"}, USAGE, 0}, printing_case{{"--help"}, USAGE, 0},
                      printing_case{{"-x"}, USAGE, 2}, printing_case{{"--bogus"}, USAGE, 2},
                      printing_case{{"-p"}, USAGE, 2}, printing_case{{"--passes"}, USAGE, 2},
                      printing_case{{"-x", "-h"}, USAGE, 2}, printing_case{{"-h", "-x"}, USAGE, 0},
                      printing_case{{"-h", "-v"}, USAGE, 0},
                      printing_case{{"-h", "operand"}, USAGE, 0}, printing_case{{"-v"}, VERSION, 0},
                      printing_case{{"--version"}, VERSION, 0},
                      printing_case{{"-v", "-h"}, VERSION, 0}));

struct echo_case {
    args command_line;
    std::string echoed;
};

class FlagEcho : public ::testing::TestWithParam<echo_case> {};

TEST_P(FlagEcho, FlagOptionsAreEchoedBeforeTheScreenStarts)
{
    SCOPED_TRACE(shown(GetParam().command_line));
    terminal t{launch(GetParam().command_line)};
    ASSERT_TRUE(wait_for_greeting(t));
    const std::string echoed = on_terminal(GetParam().echoed);
    EXPECT_EQ(t.output().substr(0, echoed.size()), echoed);
    // The screen's set-up follows the echo at once.
    EXPECT_EQ(t.output().substr(echoed.size(), 1), "\x1b");
    t.send("q");
    EXPECT_EQ(t.wait_exit(), exited_with(0));
    EXPECT_TRUE(t.restored());
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, FlagEcho,
    ::testing::Values(
        echo_case{{"--four-color-deck"}, "options[option_index].name: four-color-deck\n"},
        echo_case{{"--no-background-color"}, "options[option_index].name: no-background-color\n"},
        echo_case{{"--no-background-color", "--four-color-deck", "operand"},
                  "options[option_index].name: no-background-color\n"
                  "options[option_index].name: four-color-deck\n"},
        echo_case{{"stray", "operands"}, ""}));

struct passes_case {
    args command_line;
    const char* empty_stock_mark;  // after the first pass: "O" while passes are left, else "X"
};

class Passes : public ::testing::TestWithParam<passes_case> {};

// Turning all 24 stock cards ends the first pass: the empty stock then shows whether
// another pass is allowed, which tells the count the game took from the command line.
TEST_P(Passes, ValueIsTakenAsAtoiReadsItClampedToInt)
{
    SCOPED_TRACE(shown(GetParam().command_line));
    terminal t{launch(GetParam().command_line)};
    ASSERT_TRUE(deal(t));
    t.send(std::string(24, ' '));
    EXPECT_TRUE(t.wait_for_text(3, 4, GetParam().empty_stock_mark)) << t.row_text(3);
    t.send("q");
    EXPECT_EQ(t.wait_exit(), exited_with(0));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, Passes,
    ::testing::Values(passes_case{{}, "O"}, passes_case{{"-p", "2"}, "O"},
                      passes_case{{"-p1"}, "X"}, passes_case{{"--passes=1"}, "X"},
                      passes_case{{"-p", "0"}, "X"}, passes_case{{"-p", "-2"}, "X"},
                      passes_case{{"-p", "x"}, "X"}, passes_case{{"-p", ""}, "X"},
                      passes_case{{"-p", "99999999999999999999"}, "O"},
                      passes_case{{"--passes", "2", "operand"}, "O"}));

class LongProgramName : public ::testing::TestWithParam<int> {};

// The fatal report is cut to 99 bytes, whatever the length of the name it starts with.
TEST_P(LongProgramName, FatalReportIsCutTo99BytesAndANewline)
{
    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) /
                                      ("quorvel_long_name_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string name(static_cast<std::size_t>(GetParam()), 'q');
    const std::filesystem::path link = dir / name;
    std::filesystem::create_symlink(program_under_test(), link);

    launch how;
    how.program = link;
    how.fail_allocation = 1;
    terminal t{how};
    ASSERT_TRUE(wait_for_greeting(t));
    t.send(" ");
    EXPECT_EQ(t.wait_exit(), exited_with(ENOMEM));
    EXPECT_EQ(t.errors(), (name + ": Cannot allocate memory (src/").substr(0, 99) + "\n");
    EXPECT_TRUE(t.restored());
    std::filesystem::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(CommandLine, LongProgramName, ::testing::Values(80, 200));

}  // namespace
