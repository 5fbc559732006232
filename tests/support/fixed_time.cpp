// Preloaded into the game by end-to-end tests: time() stands still at the second given in
// QUORVEL_FIXED_TIME, so the shuffle seeded from it gives a known deal. That is all the
// deal reads; every other clock runs, curses' own among them, and so does time() without
// the variable. Once it has given the fixed second it makes the file named in
// QUORVEL_FIXED_TIME_READ, so that a test can tell that the game did not pass it over.
//
// A 32-bit system has two time() functions: time, with the old 32-bit time_t, and
// __time64, which a program built with -D_TIME_BITS=64 calls instead. Both are defined
// here, whichever time_t this library is built with, for a game built either way.
//
// The real clock is read from the kernel, with its 64-bit call where the system has one,
// because a sanitizer runtime asks for the time before any constructor could look the
// C library's function up.

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <type_traits>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The time_t of programs built without -D_TIME_BITS=64.
using old_time_t = std::conditional_t<__TIMESIZE == 32, std::int32_t, std::int64_t>;

std::int64_t real_second()
{
    // The kernel's own timespec, 64 bits a field, as both calls below fill it.
    struct {
        std::int64_t seconds;
        std::int64_t nanoseconds;
    } now{};
#ifdef SYS_clock_gettime64
    syscall(SYS_clock_gettime64, CLOCK_REALTIME, &now);
#else
    syscall(SYS_clock_gettime, CLOCK_REALTIME, &now);
#endif
    return now.seconds;
}

std::int64_t second()
{
    const char* fixed = std::getenv("QUORVEL_FIXED_TIME");
    if (fixed == nullptr || *fixed == '\0') return real_second();
    const char* witness = std::getenv("QUORVEL_FIXED_TIME_READ");
    if (witness != nullptr) {
        const int file = open(witness, O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (file >= 0) close(file);
    }
    return std::strtoll(fixed, nullptr, 10);
}

template <typename seconds>
seconds give(seconds* out)
{
    const auto now = static_cast<seconds>(second());
    if (out != nullptr) *out = now;
    return now;
}

}  // namespace

extern "C" old_time_t fixed_time(old_time_t* out) noexcept __asm__("time");
old_time_t fixed_time(old_time_t* out) noexcept
{
    return give(out);
}

#if __TIMESIZE == 32
extern "C" std::int64_t fixed_time64(std::int64_t* out) noexcept __asm__("__time64");
std::int64_t fixed_time64(std::int64_t* out) noexcept
{
    return give(out);
}
#endif
