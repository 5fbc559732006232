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

void lay_out_empty_table()
{
    if (deck != nullptr) deck_free(deck);
    if (cursor != nullptr) cursor_free(cursor);
    deck_alloc(&deck);
    deck_init(deck);
    place_piles(deck);
    cursor_alloc(&cursor);
    cursor_init(cursor);
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
    no_background_color = background_color ? 0 : 1;
    set_up_colours();
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
