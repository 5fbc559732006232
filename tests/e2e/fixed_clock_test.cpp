#include <cstdio>
#include <ctime>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

constexpr long long SECOND = 1700000000;

struct clocks {
    long long time = -1;
    long long realtime = -1;
    long long time_of_day = -1;
    long long monotonic = -1;
    long monotonic_nanoseconds = -1;
};

// What the program says of its clocks with the library preloaded and the fixed second set;
// witness is the file the library is to make.
clocks read_clocks(const std::string& program, const std::string& library,
                   const std::string& witness)
{
    const std::string command = "LD_PRELOAD=" + library +
                                " QUORVEL_FIXED_TIME=" + std::to_string(SECOND) +
                                " QUORVEL_FIXED_TIME_READ=" + witness + " " + program;
    clocks said;
    FILE* out = popen(command.c_str(), "r");
    if (out == nullptr) return said;
    if (std::fscanf(out, "%lld %lld %lld %lld %ld", &said.time, &said.realtime, &said.time_of_day,
                    &said.monotonic, &said.monotonic_nanoseconds) != 5)
        said = {};
    pclose(out);
    return said;
}

// A 32-bit system has two time_t, and a game built with either must deal from the fixed
// clock, whichever the library was built with; every clock but time() goes on running.
// (On a 64-bit system the four pairs are one.)
TEST(FixedClock, FixesTimeAloneForEitherTimeT)
{
    const std::string witness =
        ::testing::TempDir() + "quorvel_clock_pairs_" + std::to_string(getpid());
    for (const char* library : {QUORVEL_FIXED_OLD_TIME_T, QUORVEL_FIXED_TIME64_T}) {
        for (const char* program : {CLOCK_PROBE_OLD_TIME_T, CLOCK_PROBE_TIME64_T}) {
            SCOPED_TRACE(std::string(program) + " with " + library);
            unlink(witness.c_str());
            const long long now = std::time(nullptr);
            const clocks said = read_clocks(program, library, witness);
            EXPECT_EQ(said.time, SECOND);
            EXPECT_EQ(access(witness.c_str(), F_OK), 0) << "the library made no " << witness;
            EXPECT_LE(now, said.realtime);
            EXPECT_LE(said.realtime, now + 60);
            EXPECT_LE(now, said.time_of_day);
            EXPECT_LE(said.time_of_day, now + 60);
            EXPECT_GE(said.monotonic, 0);
            EXPECT_LT(said.monotonic, 1LL << 32);
            EXPECT_GE(said.monotonic_nanoseconds, 0);
            EXPECT_LT(said.monotonic_nanoseconds, 1000000000L);
        }
    }
    unlink(witness.c_str());
}

}  // namespace
