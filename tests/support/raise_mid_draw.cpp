// Preloaded into the game by end-to-end tests: once the game has read the key given in
// QUORVEL_RAISE_AFTER_KEY from the terminal, it raises the signal numbered
// QUORVEL_RAISE_SIGNAL itself as it writes to the terminal the second time after that,
// in the middle of drawing its answer to the key. A signal that comes then is the one
// that could cut into curses; a test can have it come there every time.
//
// The terminal is read and written through system calls, since the C library's functions
// cannot be looked up before a sanitizer runtime in front of this library has started.

// A fortified build of the C library's headers defines read inline, and this library
// defines read itself.
#undef _FORTIFY_SOURCE

#include <csignal>
#include <cstdlib>

#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

// Writes to the terminal until the signal is raised; -1 until the key has been read.
int writes_to_go = -1;

int setting(const char* name)
{
    const char* text = std::getenv(name);
    return text != nullptr ? std::atoi(text) : 0;
}

}  // namespace

extern "C" {

ssize_t read(int fd, void* buffer, size_t size)
{
    const auto got = static_cast<ssize_t>(syscall(SYS_read, fd, buffer, size));
    const int key = setting("QUORVEL_RAISE_AFTER_KEY");
    if (fd == STDIN_FILENO && writes_to_go < 0 && key != 0) {
        for (ssize_t i = 0; i < got; ++i)
            if (static_cast<const unsigned char*>(buffer)[i] == key) writes_to_go = 2;
    }
    return got;
}

ssize_t write(int fd, const void* bytes, size_t size)
{
    if (fd == STDOUT_FILENO && writes_to_go > 0 && --writes_to_go == 0)
        std::raise(setting("QUORVEL_RAISE_SIGNAL"));
    return static_cast<ssize_t>(syscall(SYS_write, fd, bytes, size));
}

}  // extern "C"
