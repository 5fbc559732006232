#include "cursor.hpp"

#include <cerrno>
#include <new>

#include <curses.h>

#include "deck.hpp"
#include "game.hpp"
#include "main.hpp"

// The two stops below guard against faults in the game's own logic; they stay armed in
// every build, whatever NDEBUG says.
#undef NDEBUG
#include <cassert>

namespace {

constexpr int FIRST_COLUMN_X = 4;
constexpr int LAST_COLUMN_X = FIRST_COLUMN_X + PILE_SPACING * (TABLEAU_COUNT - 1);
constexpr int GAP_INDEX = 2;

// Index of the pile column under x, or -1 where x is not a pile's middle column.
int column_index(int x)
{
    const int offset = x - FIRST_COLUMN_X;
    if (offset < 0 || offset % PILE_SPACING != 0 || offset / PILE_SPACING >= TABLEAU_COUNT)
        return -1;
    return offset / PILE_SPACING;
}

// Lines the cursor up below the top card of the tableau pile under x.
void settle_in_tableau(struct cursor* c)
{
    c->y = deck->tableau[column_index(c->x)]->card->frame->begin_y + CURSOR_DROP;
}

// A cursor in a place that cannot be: the screen and the game go before the report.
void end_game()
{
    endwin();
    game_end();
}

}  // namespace

void cursor_alloc(struct cursor** c)
{
    *c = new (std::nothrow) struct cursor;
    if (*c == nullptr) fatal_error(errno, "src/cursor", __LINE__);

    // A window curses cannot create is memory it could not get.
    (*c)->window = newwin(1, 1, CURSOR_TOP_ROW, FIRST_COLUMN_X);
    if ((*c)->window == nullptr) fatal_error(errno, "src/cursor", __LINE__);
}

void cursor_init(struct cursor* c)
{
    mvwin(c->window, CURSOR_TOP_ROW, FIRST_COLUMN_X);
    c->x = FIRST_COLUMN_X;
    c->y = CURSOR_TOP_ROW;
    c->marked = false;
}

void cursor_free(struct cursor* c)
{
    delwin(c->window);
    delete c;
}

void cursor_mark(struct cursor* c)
{
    c->marked = true;
}

void cursor_unmark(struct cursor* c)
{
    c->marked = false;
}

void cursor_move(struct cursor* c, int direction)
{
    switch (direction) {
    case LEFT:
        if (c->x < FIRST_COLUMN_X + 1) return;
        c->x -= PILE_SPACING;
        if (c->y > CURSOR_TOP_ROW) settle_in_tableau(c);
        return;
    case RIGHT:
        if (c->x > LAST_COLUMN_X - PILE_SPACING) return;
        c->x += PILE_SPACING;
        if (c->y > CURSOR_TOP_ROW) settle_in_tableau(c);
        return;
    case DOWN:
        if (c->y == CURSOR_TOP_ROW) settle_in_tableau(c);
        return;
    case UP:
        if (c->y > CURSOR_TOP_ROW) c->y = CURSOR_TOP_ROW;
        return;
    default:
        return;
    }
}

int cursor_direction(int key)
{
    switch (key) {
    case 'h':
    case KEY_LEFT:
        return LEFT;
    case 'j':
    case KEY_DOWN:
        return DOWN;
    case 'k':
    case KEY_UP:
        return UP;
    case 'l':
    case KEY_RIGHT:
        return RIGHT;
    default:
        end_game();
        assert(false && "invalid cursor direction");
        return -1;
    }
}

stack** cursor_stack(const struct cursor* c)
{
    const int i = column_index(c->x);
    if (c->y == CURSOR_TOP_ROW) {
        switch (i) {
        case 0:
            return &deck->stock;
        case 1:
            return &deck->waste_pile;
        case GAP_INDEX:
            return nullptr;
        case GAP_INDEX + 1:
        case GAP_INDEX + 2:
        case GAP_INDEX + 3:
        case GAP_INDEX + 4:
            return &deck->foundation[i - GAP_INDEX - 1];
        default:
            end_game();
            assert(false && "invalid stack");
            return nullptr;
        }
    }
    if (i != -1) return &deck->tableau[i];
    end_game();
    assert(false && "invalid stack");
    return nullptr;
}

bool cursor_on_stock(const struct cursor* c)
{
    stack** pile = cursor_stack(c);
    return pile != nullptr && pile == &deck->stock;
}

bool cursor_on_invalid_spot(const struct cursor* c)
{
    return cursor_stack(c) == nullptr;
}
