#include "draw.hpp"

#include <array>
#include <cstring>

#include <curses.h>
#include <langinfo.h>

#include "card.hpp"
#include "cursor.hpp"
#include "deck.hpp"
#include "frame.hpp"
#include "game.hpp"
#include "main.hpp"
#include "stack.hpp"

namespace {

constexpr std::array<const char*, 13> value_labels{"A", "2", "3",  "4", "5", "6", "7",
                                                   "8", "9", "10", "J", "Q", "K"};
constexpr std::array<const char*, 4> suit_symbols{"\u2666", "\u2660", "\u2665", "\u2663"};
// Without UTF-8 curses would print a symbol's bytes as several cells and break the card.
constexpr std::array<const char*, 4> suit_letters{"d", "s", "h", "c"};

// The background of a blanked window: a non-printing character in the table's colours.
constexpr chtype BLANK_BACKGROUND = 6;
constexpr char MARKER = '*';
constexpr char MARKER_CARRYING = '@';

const char* suit_text(int suit)
{
    const bool utf8 = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    return utf8 ? suit_symbols[suit] : suit_letters[suit];
}

short suit_pair(int suit)
{
    if (game.four_color_deck == 0) return suit % 2 != 0 ? BLACK_ON_WHITE : RED_ON_WHITE;
    switch (suit) {
    case DIAMONDS:
        return YELLOW_ON_WHITE;
    case CLUBS:
        return BLACK_ON_WHITE;
    case SPADES:
        return GREEN_ON_WHITE;
    default:
        return RED_ON_WHITE;
    }
}

// Brings w to its size and place if curses allows, and tells whether it stands there.
// Curses may have resized a window on a change of terminal size, and it refuses to move
// one below the last line: such a window must not be drawn, or it shows elsewhere.
bool settle(WINDOW* w, int rows, int cols, int y, int x)
{
    if (getmaxy(w) != rows || getmaxx(w) != cols) wresize(w, rows, cols);
    if (getbegy(w) != y || getbegx(w) != x) mvwin(w, y, x);
    return getmaxy(w) == rows && getmaxx(w) == cols && getbegy(w) == y && getbegx(w) == x;
}

bool in_place(const frame* f)
{
    return settle(f->window, FRAME_HEIGHT, FRAME_WIDTH, f->begin_y, f->begin_x);
}

void draw_face(WINDOW* w, const card* c)
{
    wbkgd(w, COLOR_PAIR(BLACK_ON_WHITE));
    wborder(w, ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ');
    const char* label = value_labels[c->value];
    const int length = static_cast<int>(std::strlen(label));
    mvwprintw(w, 0, 0, "%s", label);
    mvwprintw(w, FRAME_HEIGHT - 1, FRAME_WIDTH - length, "%s", label);
    // Labels first, in the face's own black; only the symbols take the suit's colour.
    wattr_on(w, COLOR_PAIR(suit_pair(c->suit)), nullptr);
    mvwprintw(w, 0, length, "%s", suit_text(c->suit));
    mvwprintw(w, FRAME_HEIGHT - 1, FRAME_WIDTH - 1 - length, "%s", suit_text(c->suit));
    wattr_off(w, COLOR_PAIR(c->suit % 2 == 0 ? RED_ON_WHITE : BLACK_ON_WHITE), nullptr);
}

void draw_back(WINDOW* w)
{
    wbkgd(w, COLOR_PAIR(WHITE_ON_BLUE));
    wborder(w, 0, 0, 0, 0, 0, 0, 0, 0);
}

void blank(const frame* f)
{
    if (!in_place(f)) return;
    werase(f->window);
    wbkgd(f->window, BLANK_BACKGROUND);
    wrefresh(f->window);
}

void draw_empty(const stack* pile)
{
    const frame* place = pile->card->frame;
    if (!in_place(place)) return;
    WINDOW* w = place->window;
    wborder(w, 0, 0, 0, 0, 0, 0, 0, 0);
    if (stock_stack(pile)) mvwprintw(w, 2, 3, game.passes_left > 0 ? "O" : "X");
    wrefresh(w);
}

}  // namespace

void draw_card(const card* c)
{
    if (!in_place(c->frame)) return;
    if (c->face == EXPOSED) {
        draw_face(c->frame->window, c);
    } else {
        draw_back(c->frame->window);
    }
    wrefresh(c->frame->window);
}

void draw_stack(const stack* pile)
{
    if (stack_is_empty(pile)) {
        draw_empty(pile);
    } else if (tableau_stack(pile)) {
        // Drawn from the bottom card up through copies, so each card lies over the one
        // beneath it and only the top card shows whole.
        stack* bottom_up = stack_reverse(pile);
        for (const stack* node = bottom_up; node != nullptr; node = node->next)
            draw_card(node->card);
        stack_free(bottom_up);
    } else {
        draw_card(pile->card);
    }
}

void draw_deck(const struct deck* d)
{
    draw_stack(d->stock);
    draw_stack(d->waste_pile);
    for (const stack* pile : d->foundation) draw_stack(pile);
    for (const stack* pile : d->tableau) draw_stack(pile);
}

void draw_cursor(const struct cursor* c)
{
    if (!settle(c->window, 1, 1, c->y, c->x)) return;
    waddch(c->window, c->marked ? MARKER_CARRYING : MARKER);
    wrefresh(c->window);
}

void erase_card(const card* c)
{
    blank(c->frame);
}

void erase_stack(const stack* pile)
{
    if (!tableau_stack(pile)) {
        blank(pile->card->frame);
        return;
    }
    for (const stack* node = pile; node != nullptr; node = node->next) blank(node->card->frame);
}

void erase_cursor(const struct cursor* c)
{
    // A window that a failed draw left away from the cursor's place shows nothing, and a
    // card may have been drawn over its cell since: refreshing it would blank that cell.
    const chtype shown = winch(c->window) & A_CHARTEXT;
    const bool marker_shown = shown == MARKER || shown == MARKER_CARRYING;
    const bool at_place = getbegy(c->window) == c->y && getbegx(c->window) == c->x;
    if (!marker_shown && !at_place) return;
    wdelch(c->window);
    wrefresh(c->window);
}
