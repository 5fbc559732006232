#include "keyboard.hpp"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include <curses.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "card.hpp"
#include "cursor.hpp"
#include "draw.hpp"
#include "game.hpp"
#include "main.hpp"
#include "stack.hpp"

namespace {

constexpr int ESCAPE = 27;

// Ends the screen, frees the game if one was dealt, says why if there is a reason to,
// and exits.
[[noreturn]] void quit(int status, const char* why = nullptr)
{
    endwin();
    if (why != nullptr) std::fprintf(stderr, "%s: %s\n", program_name, why);
    if (deck != nullptr) game_end();
    std::exit(status);
}

bool is_movement_key(int key)
{
    switch (key) {
    case 'h':
    case 'j':
    case 'k':
    case 'l':
    case KEY_LEFT:
    case KEY_DOWN:
    case KEY_UP:
    case KEY_RIGHT:
        return true;
    default:
        return false;
    }
}

void move_cursor(int key)
{
    erase_cursor(cursor);
    cursor_move(cursor, cursor_direction(key));
    draw_cursor(cursor);
}

// After a change of terminal size: the whole table again, or the size message.
void redraw_table()
{
    wclear(stdscr);
    wrefresh(stdscr);
    if (term_size_ok()) {
        draw_deck(deck);
        draw_cursor(cursor);
    } else {
        mvprintw(SIZE_MESSAGE_Y, SIZE_MESSAGE_X, "%s", SIZE_MESSAGE);
    }
}

// Rows between a card and the card beneath it: 1 at rest in a tableau pile, 2 or more
// where the card above is selected and the one beneath is not.
int step(const stack* node)
{
    return node->card->frame->begin_y - node->next->card->frame->begin_y;
}

void turn_stock()
{
    if (!stack_is_empty(deck->stock)) {
        move_card(&deck->stock, &deck->waste_pile);
        // The pass that takes the last card is the one that costs; a count given as
        // INT_MIN on the command line stays there instead of wrapping around.
        if (stack_is_empty(deck->stock) && game.passes_left > INT_MIN) --game.passes_left;
        card_expose(deck->waste_pile->card);
        erase_stack(deck->waste_pile);
        draw_stack(deck->stock);
        draw_stack(deck->waste_pile);
    } else if (game.passes_left > 0) {
        while (!stack_is_empty(deck->waste_pile)) {
            move_card(&deck->waste_pile, &deck->stock);
            card_cover(deck->stock->card);
        }
        draw_stack(deck->stock);
        draw_stack(deck->waste_pile);
    }
}

// ---- Widening and narrowing a selection on a tableau pile ----

// Marks the face-up card beneath the selection; with whole_run, every one down to the
// first face-down card.
void select_more(stack* pile, bool whole_run)
{
    for (stack* node = pile; node->next != nullptr; node = node->next) {
        if (node->next->card->face != EXPOSED || step(node) < 2) continue;
        erase_stack(pile);
        card_mark(node->next->card);
        draw_stack(pile);
        if (!whole_run) return;
    }
}

// Releases the lowest selected card; the top card always stays selected.
void select_fewer(stack* pile)
{
    for (stack* node = pile->next; node != nullptr; node = node->next) {
        const bool lowest =
            node->next != nullptr ? step(node) >= 2 : node->card->frame->begin_y == TABLEAU_ROW + 1;
        if (!lowest) continue;
        erase_stack(pile);
        card_unmark(node->card);
        draw_stack(pile);
        return;
    }
}

void select_top_only(stack* pile)
{
    erase_stack(pile);
    unmark_cards(pile);
    card_mark(pile->card);
    draw_stack(pile);
}

// ---- Ending a selection ----

void drop(struct cursor* c, stack** origin)
{
    if (cursor_stack(c) == origin && tableau_stack(*origin)) {
        erase_cursor(c);
        --c->y;
    }
    if (marked_cards_count(*origin) > 0 && tableau_stack(*origin)) {
        erase_stack(*origin);
        unmark_cards(*origin);
        draw_stack(*origin);
    }
    cursor_unmark(c);
    draw_cursor(c);
}

// A single card put back on its own pile goes to the first foundation that takes it.
// Returns the foundation that was tried last.
stack** send_to_foundation(stack** origin)
{
    for (stack*& foundation : deck->foundation) {
        if (valid_move(*origin, foundation)) {
            move_card(origin, &foundation);
            return &foundation;
        }
    }
    return &deck->foundation.back();
}

void place(struct cursor* c, stack** origin)
{
    stack** destination = cursor_stack(c);
    const int count = marked_cards_count(*origin);

    // Every card back on its resting row before any moves, so an emptied pile keeps its place.
    if (count > 0 && tableau_stack(*origin)) {
        erase_stack(*origin);
        unmark_cards(*origin);
        draw_stack(*origin);
    }
    if (destination == nullptr) {
        cursor_unmark(c);
        draw_cursor(c);
        return;
    }
    erase_stack(*origin);
    erase_cursor(c);

    if (count >= 2 && tableau_stack(*origin) && tableau_stack(*destination)) {
        const stack* lowest = *origin;
        for (int i = 1; i < count; ++i) lowest = lowest->next;
        if (valid_move(lowest, *destination)) move_block(origin, destination, count);
    } else if (valid_move(*origin, *destination)) {
        if (tableau_stack(*destination)) ++c->y;
        move_card(origin, destination);
    }

    if (destination == origin &&
        ((tableau_stack(*origin) && count == 1) || waste_pile_stack(*origin))) {
        destination = send_to_foundation(origin);
    }

    draw_stack(*origin);
    draw_stack(*destination);
    if (tableau_stack(*origin) && destination == origin) {
        erase_cursor(c);
        --c->y;
    }
    cursor_unmark(c);
    draw_cursor(c);
}

// Curses can miss a change of terminal size that comes hard on the heels of another, and
// then keeps the old size for good: the player would stare at the size message on a
// terminal that is large enough. So the real size is checked whenever a key comes, and
// a difference is taken up as the change of size curses missed; true when there was one.
// Sizes given in the environment rule over the terminal's, as they do for curses.
bool take_up_missed_resize()
{
    if (std::getenv("LINES") != nullptr || std::getenv("COLUMNS") != nullptr) return false;
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_row == 0 || size.ws_col == 0)
        return false;
    if (size.ws_row == LINES && size.ws_col == COLS) return false;
    resize_term(size.ws_row, size.ws_col);
    return true;
}

}  // namespace

bool is_quit_key(int key)
{
    return key == 'q' || key == 'Q';
}

int read_key()
{
    for (;;) {
        errno = 0;
        const int key = wait_for_key();
        if (key == ERR) {
            // Only an interrupted read is worth another try; any other error repeats forever.
            if (errno != EINTR) quit(EXIT_FAILURE, "no more input from the terminal");
            continue;
        }
        if (key != KEY_RESIZE && take_up_missed_resize()) {
            ungetch(key);
            return KEY_RESIZE;
        }
        return key;
    }
}

void handle_key(int key)
{
    if (is_quit_key(key)) quit(EXIT_SUCCESS);
    if (!term_size_ok()) {
        if (key == KEY_RESIZE) redraw_table();
        return;
    }
    if (is_movement_key(key)) {
        move_cursor(key);
    } else if (key == SPACE) {
        if (cursor_on_stock(cursor)) {
            turn_stock();
            return;
        }
        stack** pile = cursor_stack(cursor);
        if (pile != nullptr && (*pile)->card->face == COVERED) {
            card_expose((*pile)->card);
            draw_card((*pile)->card);
            return;
        }
        select_and_place(cursor);
    } else if (key == KEY_RESIZE) {
        redraw_table();
    }
}

void select_and_place(struct cursor* c)
{
    stack** origin = cursor_stack(c);
    if (cursor_on_invalid_spot(c) || stack_is_empty(*origin)) return;

    if (tableau_stack(*origin)) {
        erase_stack(*origin);
        card_mark((*origin)->card);
        draw_stack(*origin);
        ++c->y;
    }
    erase_cursor(c);
    cursor_mark(c);
    draw_cursor(c);

    for (;;) {
        const int key = read_key();
        if (is_quit_key(key)) quit(EXIT_SUCCESS);
        if (!term_size_ok()) {
            if (key == KEY_RESIZE) redraw_table();
            continue;
        }
        const bool on_origin_tableau = cursor_stack(c) == origin && tableau_stack(*origin);
        switch (key) {
        case ESCAPE:
            drop(c, origin);
            return;
        case SPACE:
            place(c, origin);
            return;
        case 'm':
        case 'M':
            if (on_origin_tableau) select_more(*origin, key == 'M');
            break;
        case 'n':
            if (on_origin_tableau) select_fewer(*origin);
            break;
        case 'N':
            if (on_origin_tableau) select_top_only(*origin);
            break;
        case KEY_RESIZE:
            redraw_table();
            break;
        default:
            if (is_movement_key(key)) move_cursor(key);
            break;
        }
    }
}

int marked_cards_count(const stack* pile)
{
    const int length = stack_length(pile);
    if (length == 0) return 0;
    if (length == 1) return pile->card->frame->begin_y > TABLEAU_ROW ? 1 : 0;
    int count = 0;
    for (const stack* node = pile; node->next != nullptr; node = node->next) {
        ++count;
        if (step(node) >= 2) return count;
    }
    return length;
}

void unmark_cards(stack* pile)
{
    const int count = marked_cards_count(pile);
    stack* node = pile;
    for (int i = 0; i < count; ++i, node = node->next) card_unmark(node->card);
}
