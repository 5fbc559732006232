// Preloaded into the game by end-to-end tests: the wall clock stands still at the second
// given in QUORVEL_FIXED_TIME, so the shuffle seeded from it gives a known deal. Without
// the variable, and for every other clock, the real time comes through.
//
// The monotonic clocks stay real: curses times its input with them. The real clock is
// reached by a system call, because a sanitizer runtime asks for the time before any
// constructor could look the C library's function up.

#include <cstdlib>
#include <ctime>

#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

int real_clock(clockid_t clock, timespec* now)
{
    return static_cast<int>(syscall(SYS_clock_gettime, clock, now));
}

// The fixed second, or false when the clock runs.
bool fixed_second(time_t* second)
{
    const char* text = std::getenv("QUORVEL_FIXED_TIME");
    if (text == nullptr || *text == '\0') return false;
    *second = static_cast<time_t>(std::strtoll(text, nullptr, 10));
    return true;
}

}  // namespace

extern "C" {

int clock_gettime(clockid_t clock, timespec* now) noexcept
{
    time_t second = 0;
    if (clock != CLOCK_REALTIME || !fixed_second(&second)) return real_clock(clock, now);
    now->tv_sec = second;
    now->tv_nsec = 0;
    return 0;
}

time_t time(time_t* out) noexcept
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    if (out != nullptr) *out = now.tv_sec;
    return now.tv_sec;
}

int gettimeofday(timeval* tv, void* /*zone*/) noexcept
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tv->tv_sec = now.tv_sec;
    tv->tv_usec = static_cast<suseconds_t>(now.tv_nsec / 1000);
    return 0;
}

}  // extern "C"
