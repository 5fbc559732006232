// Prints what each of the C library's clocks says, for the test of the fixed clock:
//   time REALTIME_SECONDS TIMEOFDAY_SECONDS MONOTONIC_SECONDS MONOTONIC_NANOSECONDS
// built with the time_t of the build, or with the other one a 32-bit system has.

#include <cstdio>
#include <ctime>

#include <sys/time.h>

int main()
{
    const std::time_t fixed = std::time(nullptr);
    timespec real{};
    clock_gettime(CLOCK_REALTIME, &real);
    timeval of_day{};
    gettimeofday(&of_day, nullptr);
    timespec monotonic{};
    clock_gettime(CLOCK_MONOTONIC, &monotonic);
    std::printf("%lld %lld %lld %lld %ld\n", static_cast<long long>(fixed),
                static_cast<long long>(real.tv_sec), static_cast<long long>(of_day.tv_sec),
                static_cast<long long>(monotonic.tv_sec), static_cast<long>(monotonic.tv_nsec));
}
