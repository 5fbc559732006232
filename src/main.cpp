#include "main.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <curses.h>
#include <getopt.h>
#include <libgen.h>
// POSIX's signal calls and signals, which <csignal> need not declare.
#include <signal.h>  // NOLINT(modernize-deprecated-headers)
// Every terminal capability has a macro of its name here, such as lines and columns.
#include <term.h>
#include <unistd.h>

#include "game.hpp"
#include "keyboard.hpp"
#include "version.hpp"

const char* program_name = "quorvel";
int four_color_deck = 0;
int no_background_color = 0;

namespace {

constexpr int DEFAULT_PASSES = 3;

// The status of a command line the program cannot read, as getopt-based tools report it,
// so that a script or a launcher can tell the failure from --help.
constexpr int USAGE_ERROR = 2;

constexpr std::array<option, 6> options{{
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'v'},
    {"passes", required_argument, nullptr, 'p'},
    {"four-color-deck", no_argument, &four_color_deck, 1},
    {"no-background-color", no_argument, &no_background_color, 1},
    {nullptr, 0, nullptr, 0},
}};

constexpr std::array<const char*, 5> usage_lines{
    "  -v, --version              Show version",
    "  -h, --help                 Show this message",
    "  -p, --passes               Number of passes through the deck  (default: 3)",
    "      --four-color-deck      Draw unique card suit colors       (default: false)",
    "      --no-background-color  Don't draw background color        (default: false)",
};

struct greeting_line {
    int y;
    int x;
    const char* text;
};

constexpr std::array<greeting_line, 6> greeting{{
    {8, 26, "Welcome to quorvel."},
    {10, 21, "Move with the arrow keys or <hjkl>."},
    {12, 18, "Use the space bar to select and place cards."},
    {14, 13, "After selecting a card you can use <m> to select more"},
    {15, 12, "and <n> to select fewer. Press <Shift+M> to select all."},
    {17, 19, "Press the space bar to play or q to quit."},
}};

// Whether the terminal TERM names can have its cursor placed on any cell, without which
// no table can be drawn. A name the terminal database does not know passes here: curses
// refuses it itself, in its own words, as the screen starts.
bool cursor_addressable()
{
    int status = 0;
    if (setupterm(nullptr, STDOUT_FILENO, &status) != OK) return true;
    char name[] = "cup";  // not const for every curses
    const bool able = tigetstr(name) != nullptr;
    del_curterm(cur_term);
    return able;
}

// The signals that end a terminal program unless it handles them.
constexpr std::array<int, 4> ending_signals{SIGHUP, SIGINT, SIGQUIT, SIGTERM};

// Those of them the game handles, held back except while it waits for a key.
sigset_t caught = [] {
    sigset_t none{};
    sigemptyset(&none);
    return none;
}();

// Ends the screen, then the program by the very signal that came, so that whoever
// started the game finds the terminal as it was and learns what ended it (a shell says
// 128 + its number). The signal comes in only while curses waits for a key, never in
// the middle of drawing, which is what makes ending the screen from here sound.
void end_by_signal(int sig)
{
    if (!isendwin()) endwin();
    signal(sig, SIG_DFL);
    sigset_t self{};
    sigemptyset(&self);
    sigaddset(&self, sig);
    sigprocmask(SIG_UNBLOCK, &self, nullptr);  // blocked while its handler runs
    raise(sig);
}

// Handles the ending signals that are not ignored (a game started under nohup goes on
// ignoring a hang-up), before curses starts and would put handlers of its own on some.
void catch_ending_signals()
{
    for (const int sig : ending_signals) {
        struct sigaction was = {};
        if (sigaction(sig, nullptr, &was) == 0 && was.sa_handler != SIG_IGN)
            sigaddset(&caught, sig);
    }
    sigprocmask(SIG_BLOCK, &caught, nullptr);
    struct sigaction ending = {};
    ending.sa_handler = end_by_signal;
    ending.sa_mask = caught;
    for (const int sig : ending_signals)
        if (sigismember(&caught, sig) == 1) sigaction(sig, &ending, nullptr);
}

void start_screen()
{
    initscr();
    raw();
    noecho();
    keypad(stdscr, TRUE);
    // A stop ends the screen, which puts the terminal's arrow keys in normal mode, and
    // curses puts them back in application mode only as it begins its next read: the read
    // already waiting after a continue gets the first arrow as ESC [ C, and would take its
    // ESC for the escape key, which drops the carried cards. So both modes' arrows are known.
    char up[] = "\033[A";  // not const for every curses
    char down[] = "\033[B";
    char right[] = "\033[C";
    char left[] = "\033[D";
    define_key(up, KEY_UP);
    define_key(down, KEY_DOWN);
    define_key(right, KEY_RIGHT);
    define_key(left, KEY_LEFT);
    start_color();
    curs_set(0);
    set_escdelay(0);
    set_up_colours();
}

// Holds the player on the size message until the table fits. Returns false on quit.
bool wait_for_room()
{
    for (;;) {
        const bool room = term_size_ok();
        wclear(stdscr);
        if (room) return true;
        mvprintw(SIZE_MESSAGE_Y, SIZE_MESSAGE_X, "%s", SIZE_MESSAGE);
        wrefresh(stdscr);
        if (is_quit_key(read_key())) return false;
    }
}

// Shows the greeting until the space bar on a large enough screen. Returns false on quit.
bool greet()
{
    draw_greeting();
    wrefresh(stdscr);
    for (;;) {
        const int key = read_key();
        if (is_quit_key(key)) return false;
        if (term_size_ok()) {
            wclear(stdscr);
            draw_greeting();
            wrefresh(stdscr);
            if (key == SPACE) return true;
        } else if (key == KEY_RESIZE) {
            wclear(stdscr);
            mvprintw(SIZE_MESSAGE_Y, SIZE_MESSAGE_X, "%s", SIZE_MESSAGE);
            wrefresh(stdscr);
        }
    }
}

int play(int passes)
{
    wclear(stdscr);
    wrefresh(stdscr);
    game_init(&game, passes, four_color_deck);
    do {
        handle_key(read_key());
    } while (!game_won());
    endwin();
    game_end();
    std::printf("You won.\n");
    return EXIT_SUCCESS;
}

}  // namespace

void usage(const char* name)
{
    std::printf("usage: %s [OPTIONS]\n", name);
    for (const char* line : usage_lines) std::printf("%s\n", line);
}

void version()
{
    std::printf("%s\n", PROGRAM_VERSION);
}

void draw_greeting()
{
    // The game plays from 57 columns, but some lines are longer than that from their
    // column; curses would wrap them mid-word over the line below. Such a line moves left
    // just enough to end on the last column instead.
    const int cols = getmaxx(stdscr);
    for (const greeting_line& line : greeting) {
        const int length = static_cast<int>(std::strlen(line.text));
        const int x = std::max(0, std::min(line.x, cols - length));
        mvprintw(line.y, x, "%s", line.text);
    }
}

void set_up_colours()
{
    if (no_background_color != 0) {
        use_default_colors();
    } else {
        assume_default_colors(COLOR_WHITE, COLOR_GREEN);
    }
    init_pair(BLACK_ON_WHITE, COLOR_BLACK, COLOR_WHITE);
    init_pair(RED_ON_WHITE, COLOR_RED, COLOR_WHITE);
    init_pair(GREEN_ON_WHITE, COLOR_GREEN, COLOR_WHITE);
    init_pair(YELLOW_ON_WHITE, COLOR_YELLOW, COLOR_WHITE);
    init_pair(WHITE_ON_BLUE, COLOR_WHITE, COLOR_BLUE);
    init_pair(WHITE_ON_GREEN, COLOR_WHITE, COLOR_GREEN);
}

int wait_for_key()
{
    sigprocmask(SIG_UNBLOCK, &caught, nullptr);
    const int key = wgetch(stdscr);
    const int read_error = errno;
    sigprocmask(SIG_BLOCK, &caught, nullptr);
    errno = read_error;
    return key;
}

bool term_size_ok()
{
    return stdscr != nullptr && getmaxy(stdscr) >= MIN_TERM_LINES &&
           getmaxx(stdscr) >= MIN_TERM_COLS;
}

void fatal_error(int errnum, const char* file, int line)
{
    // A player left in raw mode on the table's screen would never see the report.
    if (stdscr != nullptr && !isendwin()) endwin();
    // A platform may leave errno unset when an allocation fails; the game must still
    // end as a failure, never with status 0 and "Success".
    if (errnum == 0) errnum = ENOMEM;
    std::array<char, 100> report{};
    std::snprintf(report.data(), report.size(), "%s: %s (%s:%d)", program_name,
                  std::strerror(errnum), file, line - 1);
    std::fprintf(stderr, "%s\n", report.data());
    std::exit(errnum);
}

int parse_passes(const char* text)
{
    // strtoll reads what atoi reads, and says so when the number does not fit.
    const long long passes = std::strtoll(text, nullptr, 10);
    if (passes > INT_MAX) return INT_MAX;
    if (passes < INT_MIN) return INT_MIN;
    return static_cast<int>(passes);
}

int main(int argc, char* argv[])
{
    program_name = basename(argv[0]);
    int passes = DEFAULT_PASSES;

    int option_index = 0;
    int opt = 0;
    while ((opt = getopt_long(argc, argv, "hvp:", options.data(), &option_index)) != -1) {
        switch (opt) {
        case 0:
            std::printf("options[option_index].name: %s\n", options[option_index].name);
            break;
        case 'p':
            passes = parse_passes(optarg);
            break;
        case 'v':
            version();
            return EXIT_SUCCESS;
        case 'h':
            usage(program_name);
            return EXIT_SUCCESS;
        default:
            // getopt has already said on standard error what it could not read.
            usage(program_name);
            return USAGE_ERROR;
        }
    }

    std::setlocale(LC_ALL, "");
    if (!cursor_addressable()) {
        std::fprintf(stderr,
                     "%s: cannot play on terminal type \"%s\": it has no cursor addressing\n",
                     program_name, std::getenv("TERM"));
        return EXIT_FAILURE;
    }
    catch_ending_signals();
    start_screen();
    if (!wait_for_room() || !greet()) {
        endwin();
        return EXIT_SUCCESS;
    }
    return play(passes);
}
