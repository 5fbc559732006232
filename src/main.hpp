#pragma once

// The program as it was started, for the usage line and the fatal report.
extern const char* program_name;
// Option flags, written only while the command line is read.
extern int four_color_deck;
extern int no_background_color;

// Colour pairs; pair 0 is the table itself.
inline constexpr short BLACK_ON_WHITE = 1;
inline constexpr short RED_ON_WHITE = 2;
inline constexpr short GREEN_ON_WHITE = 3;
inline constexpr short YELLOW_ON_WHITE = 4;
inline constexpr short WHITE_ON_BLUE = 5;
inline constexpr short WHITE_ON_GREEN = 6;

inline constexpr int MIN_TERM_LINES = 28;
inline constexpr int MIN_TERM_COLS = 57;
inline constexpr const char* SIZE_MESSAGE =
    "Please increase your terminal size to at least 57x28 or press q to quit.";
// Where the size message stands on the standard screen.
inline constexpr int SIZE_MESSAGE_Y = 1;
inline constexpr int SIZE_MESSAGE_X = 1;

void usage(const char* name);
void version();
// The table's colours (or the terminal's own under --no-background-color) and the
// card pairs, on a screen whose colours have been started.
void set_up_colours();
// Prints the greeting on the standard screen without refreshing it.
void draw_greeting();
// The next key, as wgetch on the standard screen gives it. The signals that end the game
// are let in while it waits, and only then; errno is wgetch's.
int wait_for_key();
// Whether the standard screen exists and can hold the whole table.
bool term_size_ok();
// Ends the screen, reports errnum's text with the unit and line - 1 on standard error
// and exits with errnum. For allocations that failed: an errnum of 0 counts as ENOMEM.
[[noreturn]] void fatal_error(int errnum, const char* file, int line);
// The -p value: atoi's number, but clamped to the range of int instead of undefined.
int parse_passes(const char* text);
