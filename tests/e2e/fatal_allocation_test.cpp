#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

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

// Where each allocation of the session is asked for from, in order: the first is
// allocation 1.
std::vector<std::string> allocation_sites()
{
    const std::filesystem::path file = std::filesystem::path(::testing::TempDir()) /
                                       ("quorvel_allocations_" + std::to_string(getpid()));
    std::filesystem::remove(file);
    launch how = session_launch();
    how.allocation_sites_file = file;
    terminal t{how};
    run_session(t);
    EXPECT_EQ(t.wait_exit(), exited_with(0));
    EXPECT_EQ(t.errors(), "");
    std::vector<std::string> sites;
    std::ifstream in(file);
    for (std::string site; std::getline(in, site);) sites.push_back(site);
    std::filesystem::remove(file);
    return sites;
}

// The allocations to fail: the first and the last made at each place in the game that
// allocates, so that every place fails once early in the session and once late.
std::set<long> first_and_last_of_each_site(const std::vector<std::string>& sites)
{
    std::map<std::string, std::pair<long, long>> seen;
    for (long n = 1; n <= static_cast<long>(sites.size()); ++n) {
        const auto [where, added] = seen.try_emplace(sites[n - 1], n, n);
        if (!added) where->second.second = n;
    }
    std::set<long> chosen;
    for (const auto& [site, numbers] : seen) chosen.insert({numbers.first, numbers.second});
    return chosen;
}

// Every place that allocates, made to fail, ends the game with one line naming the unit
// that asked for the memory, the error number as status and the terminal restored; and
// between them the six units that allocate are all reached. A failure that leaves errno
// at 0 ends the same way: as a failure, never "Success". The session makes hundreds of
// allocations from a handful of places; each place fails at its first allocation and at
// its last, since failing every allocation in turn took minutes on a slow machine.
TEST(FatalAllocation, EveryFailingAllocationEndsWithOneReportAndRestoresTheTerminal)
{
    const std::vector<std::string> sites = allocation_sites();
    const long count = static_cast<long>(sites.size());
    ASSERT_GT(count, 0);
    ASSERT_EQ(std::ranges::count(sites, "0"), 0) << "an allocation came from an unknown place";
    const std::set<long> chosen = first_and_last_of_each_site(sites);
    RecordProperty("allocations", static_cast<int>(count));
    RecordProperty("failed", static_cast<int>(chosen.size()));

    const std::set<std::string> allocating_units{"frame", "card",   "stack",
                                                 "deck",  "cursor", "game"};
    std::set<std::string> units;
    for (const bool silently : {false, true}) {
        for (const long n : chosen) {
            SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(count) +
                         ", from " + sites[n - 1] + (silently ? ", errno left at 0" : ""));
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
