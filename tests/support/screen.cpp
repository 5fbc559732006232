#include "screen.hpp"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "game.hpp"
#include "main.hpp"

cell read_cell(WINDOW* w, int y, int x)
{
    cchar_t cc{};
    cell result;
    if (mvwin_wch(w, y, x, &cc) == ERR) return result;
    wchar_t chars[CCHARW_MAX + 1] = {};
    attr_t attrs = 0;
    short pair = 0;
    getcchar(&cc, chars, &attrs, &pair, nullptr);
    result.text = chars;
    result.attrs = attrs & ~A_COLOR;
    result.pair = pair;
    return result;
}

std::string read_text(WINDOW* w, int y, int x, int length)
{
    std::wstring wide;
    for (int i = 0; i < length; ++i) wide += read_cell(w, y, x + i).text;
    std::string text;
    for (wchar_t ch : wide) {
        char bytes[MB_LEN_MAX] = {};
        const std::size_t n = std::wcrtomb(bytes, ch, nullptr);
        if (n != static_cast<std::size_t>(-1)) text.append(bytes, n);
    }
    return text;
}

void ScreenTest::SetUp()
{
    std::setlocale(LC_ALL, "C.UTF-8");
    setenv("LINES", std::to_string(lines).c_str(), 1);
    setenv("COLUMNS", std::to_string(cols).c_str(), 1);
    out_ = std::fopen("/dev/null", "w");
    in_ = std::fopen("/dev/null", "r");
    screen_ = newterm("xterm-256color", out_, in_);
    ASSERT_NE(screen_, nullptr);
    set_term(screen_);
    start_color();
    if (background_color) {
        assume_default_colors(COLOR_WHITE, COLOR_GREEN);
    } else {
        use_default_colors();
    }
    init_pair(BLACK_ON_WHITE, COLOR_BLACK, COLOR_WHITE);
    init_pair(RED_ON_WHITE, COLOR_RED, COLOR_WHITE);
    init_pair(GREEN_ON_WHITE, COLOR_GREEN, COLOR_WHITE);
    init_pair(YELLOW_ON_WHITE, COLOR_YELLOW, COLOR_WHITE);
    init_pair(WHITE_ON_BLUE, COLOR_WHITE, COLOR_BLUE);
    init_pair(WHITE_ON_GREEN, COLOR_WHITE, COLOR_GREEN);
    game = {};
    deck = nullptr;
    cursor = nullptr;
}

void ScreenTest::TearDown()
{
    if (deck != nullptr || cursor != nullptr) {
        if (cursor != nullptr) cursor_free(cursor);
        if (deck != nullptr) deck_free(deck);
        deck = nullptr;
        cursor = nullptr;
    }
    game = {};
    if (screen_ != nullptr) {
        endwin();
        delscreen(screen_);
        screen_ = nullptr;
    }
    if (out_ != nullptr) std::fclose(out_);
    if (in_ != nullptr) std::fclose(in_);
    out_ = in_ = nullptr;
}
