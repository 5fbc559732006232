#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "expected_screen.hpp"
#include "terminal.hpp"

namespace {

constexpr long long SECOND = 1700000000;
// Deal, two stock turns, pick up the waste card and try it on a tableau pile, pick up a
// tableau card, widen the selection, put it back (which tries the foundations), quit.
// One byte a key, typed all at once: the game reads the same keys in the same order
// however fast it runs, so every run makes the same allocations.
constexpr const char* SESSION = "   l j h m k q";

// Types the session once the greeting is up.
void run_session(terminal& t)
{
    ASSERT_TRUE(wait_for_greeting(t));
    t.send(SESSION);
}

launch session_launch()
{
    launch how;
    how.fixed_time = SECOND;
    return how;
}

// The unit named by a report of the form "quorvel: Cannot allocate memory (src/UNIT:LINE)"
// and a newline, or nothing if the text is not exactly one such line.
std::optional<std::string> reported_unit(const std::string& errors)
{
    const std::string head = "quorvel: Cannot allocate memory (src/";
    const std::size_t colon = errors.find(':', head.size());
    if (!errors.starts_with(head) || !errors.ends_with(")\n") || colon == std::string::npos)
        return std::nullopt;
    const std::string line = errors.substr(colon + 1, errors.size() - colon - 3);
    if (line.empty() || line.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return errors.substr(head.size(), colon - head.size());
}

long count_allocations()
{
    const std::filesystem::path file = std::filesystem::path(::testing::TempDir()) /
                                       ("quorvel_allocations_" + std::to_string(getpid()));
    std::filesystem::remove(file);
    launch how = session_launch();
    how.allocation_count_file = file;
    terminal t{how};
    run_session(t);
    EXPECT_EQ(t.wait_exit(), exited_with(0));
    EXPECT_EQ(t.errors(), "");
    long count = 0;
    std::ifstream(file) >> count;
    std::filesystem::remove(file);
    return count;
}

// Every allocation of the session, made to fail in turn, ends the game with one line
// naming the unit that asked for the memory, the error number as status and the
// terminal restored; and between them the six units that allocate are all reached.
// A failure that leaves errno at 0 ends the same way: as a failure, never "Success".
TEST(FatalAllocation, EveryFailingAllocationEndsWithOneReportAndRestoresTheTerminal)
{
    const long count = count_allocations();
    ASSERT_GT(count, 0);
    RecordProperty("allocations", static_cast<int>(count));

    const std::set<std::string> allocating_units{"frame", "card",   "stack",
                                                 "deck",  "cursor", "game"};
    std::set<std::string> units;
    for (const bool silently : {false, true}) {
        for (long n = 1; n <= count; ++n) {
            SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(count) +
                         (silently ? ", errno left at 0" : ""));
            launch how = session_launch();
            how.fail_allocation = n;
            how.fail_silently = silently;
            terminal t{how};
            run_session(t);
            ASSERT_EQ(t.wait_exit(), exited_with(ENOMEM));
            const std::optional<std::string> unit = reported_unit(t.errors());
            ASSERT_TRUE(unit && allocating_units.contains(*unit)) << t.errors();
            units.insert(*unit);
            ASSERT_TRUE(t.restored());
        }
    }
    EXPECT_EQ(units, allocating_units);

    // The count is exact: one more than the session makes never fails.
    launch how = session_launch();
    how.fail_allocation = count + 1;
    terminal t{how};
    run_session(t);
    EXPECT_EQ(t.wait_exit(), exited_with(0));
}

}  // namespace
