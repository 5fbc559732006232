#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sys/types.h>

// The real quorvel binary run in a pseudo-terminal behind the libvterm emulator, for
// end-to-end tests. Everything the child writes to the terminal is fed to the emulator
// and kept raw as well; its standard error goes to a pipe of its own.

using std::chrono::milliseconds;

// How long a wait for what a test expects may last: a limit for a hang, which a game on a
// busy machine under an emulator, translating each new path of its code on first use,
// does not come near; a wait that is met returns at once.
inline constexpr milliseconds WAIT_LIMIT{10000};
// No output for this long counts as a finished paint.
inline constexpr milliseconds QUIET{40};

// The game under test: the one QUORVEL_PROGRAM names (an installed copy, say), else
// the one built here.
std::string program_under_test();

// What to start and in what surroundings: the arguments and the terminal's size, and
// the rest set after construction. Test-only settings reach the child's environment
// alone, never the test process.
struct launch {
    explicit launch(std::vector<std::string> arguments = {}, int height = 30, int width = 80)
        : args(std::move(arguments)), rows(height), cols(width)
    {
    }

    std::string program = program_under_test();  // also the child's argv[0]
    // A command the program runs under, such as valgrind and its options; the first
    // element is an absolute path.
    std::vector<std::string> wrapper;
    std::vector<std::string> args;  // after argv[0]
    int rows;
    int cols;
    // Added to or replacing the defaults TERM=xterm-256color and LC_ALL=C.UTF-8.
    std::vector<std::pair<std::string, std::string>> env;
    std::optional<long long> fixed_time;  // seconds since the epoch the child's clock shows
    std::optional<long> fail_allocation;  // the N-th nothrow new of the child fails (from 1)
    bool fail_silently = false;           // ... leaving errno at 0 instead of ENOMEM
    std::string allocation_sites_file;    // the child writes where each nothrow new came from
    bool input_pipe = false;              // standard input from a pipe, not the terminal
    bool ignore_hangup = false;           // the child starts with SIGHUP ignored
    bool deaf_to_resize = false;          // ... with SIGWINCH blocked: curses misses resizes
    // The child raises this signal itself in the middle of drawing its answer to the key
    // raise_after_key, the first time that key comes.
    int raise_signal = 0;
    char raise_after_key = 0;
};

// How the child ended, as seen by waitpid.
struct ending {
    enum kind { running, exited, killed };
    kind how = running;
    int code = 0;  // exit status, or number of the terminating signal
    bool operator==(const ending&) const = default;
};
ending exited_with(int status);
ending killed_by(int signal);
std::ostream& operator<<(std::ostream& out, const ending& e);

// Indexed colour of a cell, or DEFAULT_COLOUR for the terminal's own.
inline constexpr int DEFAULT_COLOUR = -1;

struct screen_cell {
    std::string text;         // UTF-8, empty for a cell never written
    int fg = DEFAULT_COLOUR;  // or -2 for a direct RGB colour, which has no number
    int bg = DEFAULT_COLOUR;
};

enum class key { up, down, left, right, escape };

class terminal {
public:
    // Starts the child at once; a failure to start fails the calling test.
    explicit terminal(const launch& how);
    // Kills a child still running and reaps it, so no test leaves an orphan.
    ~terminal();
    terminal(const terminal&) = delete;
    terminal& operator=(const terminal&) = delete;

    // Bytes as typed; with input_pipe they go to the pipe instead of the terminal.
    void send(std::string_view bytes);
    // A named key as the emulator encodes it in its current mode (arrows follow the
    // application cursor mode that curses switches on).
    void press(key k);
    // Ends the input pipe: the child reads end of file from then on.
    void close_input();
    // Closes the terminal's master side: the child gets SIGHUP, then EIO on every read.
    // The screen keeps what was read before.
    void hang_up();
    void send_signal(int sig);
    // Whether the child is stopped by a signal and waits to be continued.
    bool stopped() const;
    // Sets the emulator's size and the terminal's, which sends the child SIGWINCH. Waits
    // for the child to be idle first: curses misses a SIGWINCH that lands just before its
    // read until another key comes, and the keys sent before must be handled first.
    void resize(int rows, int cols);

    // Reads output until pred holds; false if it still does not at the limit.
    bool wait_for(const std::function<bool(const terminal&)>& pred,
                  milliseconds limit = WAIT_LIMIT);
    // Reads output until text stands at row, col.
    bool wait_for_text(int row, int col, std::string_view text, milliseconds limit = WAIT_LIMIT);
    // Reads output until the child has read every byte sent to it and sleeps waiting for
    // more, so all keys sent so far have been handled, even those that draw nothing.
    bool wait_idle(milliseconds limit = WAIT_LIMIT);
    // Reads output until none has come for quiet; false if it still flows at the limit.
    bool settle(milliseconds quiet = QUIET, milliseconds limit = WAIT_LIMIT);
    // Reads output and standard error to their ends and reaps the child; running if it
    // has not ended by the limit.
    ending wait_exit(milliseconds limit = WAIT_LIMIT);

    int rows() const
    {
        return rows_;
    }
    int cols() const
    {
        return cols_;
    }
    screen_cell cell(int row, int col) const;
    // The characters of length cells from row, col, a blank for every empty cell.
    std::string text(int row, int col, int length) const;
    // The whole row without its trailing blanks.
    std::string row_text(int row) const;
    // Everything the child wrote to the terminal, escape sequences included.
    const std::string& output() const
    {
        return output_;
    }
    // Whether the child read the fixed clock it was given, as the preload library tells;
    // true when it was given none. The library can be passed over, as by a game built
    // with another time_t than it knows, and then the real clock deals.
    bool fixed_clock_read() const;
    // Everything the child wrote to standard error.
    const std::string& errors() const
    {
        return errors_;
    }
    // After the child ended: the terminal is as curses leaves it when its screen ends
    // properly: back in canonical mode with echo, signal keys and carriage returns read
    // as lines, the cursor shown, and the last word on the normal screen and the cursor
    // keys' normal mode. Always false after hang_up, which took the terminal away.
    bool restored() const;

private:
    // Forks the child into a new pseudo-terminal.
    void start(const launch& how);
    // Reads whatever arrives within limit; false if nothing came.
    bool pump(milliseconds limit);
    void reap(bool block);
    // Bytes sent that the child has not read yet, or -1 if that cannot be told.
    int unread_input() const;
    // The child's state as the kernel shows it: 'S' asleep, 'T' stopped, and so on.
    char state() const;
    // Whether the child sleeps in the kernel, which it only does waiting for input.
    bool sleeping() const;
    // Writes all of bytes to the child's input; false if it is closed or stays full.
    // may_read lets it read output meanwhile, which the child may be waiting for.
    bool write_input(std::string_view bytes, bool may_read);

    struct VTerm* vt_ = nullptr;
    struct VTermScreen* screen_ = nullptr;
    pid_t pid_ = -1;
    int master_ = -1;
    int errors_fd_ = -1;
    int input_fd_ = -1;  // the pipe's write end, or the master
    int pidfd_ = -1;
    int rows_ = 0;
    int cols_ = 0;
    bool master_eof_ = false;
    bool cursor_visible_ = true;
    std::optional<ending> ended_;
    std::string clock_witness_;  // the file the clock's library makes, if given a fixed one
    std::string output_;
    std::string errors_;
    std::size_t fed_ = 0;  // bytes of output_ handed to the emulator so far
};
