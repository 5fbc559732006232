// Preloaded into the game by end-to-end tests. It counts the game's allocations (every
// one goes through a nothrow new) and makes the one numbered QUORVEL_FAIL_ALLOCATION,
// counted from 1, fail as an exhausted heap would: a null result with errno ENOMEM, or
// with errno 0 where QUORVEL_FAIL_SILENTLY is set, as on a platform that says nothing.
// At exit the place each allocation was asked for from is written to the file named by
// QUORVEL_ALLOCATION_SITES_FILE, a line an allocation, in order: the return address as
// an offset into the program, the same in every run of one build. A test can then fail
// each place that allocates by the number of an allocation made there.
//
// Successful allocations are handed to the next nothrow new in line (the C++ library's,
// or a sanitizer's), so that the game's delete always matches its new.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <type_traits>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

using nothrow_new = void* (*)(std::size_t, const std::nothrow_t&) noexcept;

// The C++ library's names for its nothrow new and new[], which spell std::size_t as the
// system defines it: unsigned long (m) on 64-bit systems, unsigned int (j) on 32-bit ones.
constexpr bool LONG_SIZE = std::is_same_v<std::size_t, unsigned long>;
constexpr const char* NOTHROW_NEW = LONG_SIZE ? "_ZnwmRKSt9nothrow_t" : "_ZnwjRKSt9nothrow_t";
constexpr const char* NOTHROW_NEW_ARRAY = LONG_SIZE ? "_ZnamRKSt9nothrow_t" : "_ZnajRKSt9nothrow_t";

long allocations = 0;

// Where the allocations came from, as long as there is room: a session of the tests
// makes a few hundred.
constexpr long SITES_KEPT = 1L << 16;
std::uintptr_t sites[SITES_KEPT];

long failing_allocation()
{
    const char* text = std::getenv("QUORVEL_FAIL_ALLOCATION");
    return text != nullptr ? std::strtol(text, nullptr, 10) : 0;
}

// The return address as an offset into the object that holds it, the same in every run
// whatever the address the object is loaded at.
std::uintptr_t site_of(void* return_address)
{
    Dl_info object{};
    if (dladdr(return_address, &object) == 0) return 0;
    return reinterpret_cast<std::uintptr_t>(return_address) -
           reinterpret_cast<std::uintptr_t>(object.dli_fbase);
}

// Counts one allocation, asked for from caller, and gives it to next, unless it is the
// one to fail.
void* allocate(const char* next_name, nothrow_new* next, std::size_t size, void* caller)
{
    if (allocations < SITES_KEPT) sites[allocations] = site_of(caller);
    ++allocations;
    if (allocations == failing_allocation()) {
        errno = std::getenv("QUORVEL_FAIL_SILENTLY") != nullptr ? 0 : ENOMEM;
        return nullptr;
    }
    if (*next == nullptr) *next = reinterpret_cast<nothrow_new>(dlsym(RTLD_NEXT, next_name));
    if (*next == nullptr) return std::malloc(size == 0 ? 1 : size);
    return (*next)(size, std::nothrow);
}

__attribute__((destructor)) void report_sites()
{
    const char* path = std::getenv("QUORVEL_ALLOCATION_SITES_FILE");
    if (path == nullptr || *path == '\0') return;
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    for (long n = 0; n < allocations; ++n) {
        char text[32];
        // Past the room kept, a site of 0 says that this one is not known.
        const std::uintptr_t site = n < SITES_KEPT ? sites[n] : 0;
        const int length =
            std::snprintf(text, sizeof text, "%#jx\n", static_cast<std::uintmax_t>(site));
        (void)!write(fd, text, static_cast<std::size_t>(length));
    }
    close(fd);
}

}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    static nothrow_new next = nullptr;
    return allocate(NOTHROW_NEW, &next, size, __builtin_return_address(0));
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    static nothrow_new next = nullptr;
    return allocate(NOTHROW_NEW_ARRAY, &next, size, __builtin_return_address(0));
}
