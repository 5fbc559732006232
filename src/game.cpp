#include "game.hpp"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <new>
#include <utility>

#include "card.hpp"
#include "cursor.hpp"
#include "deck.hpp"
#include "draw.hpp"
#include "frame.hpp"
#include "main.hpp"
#include "stack.hpp"

struct game game;
struct deck* deck = nullptr;
struct cursor* cursor = nullptr;

// ---- Where the piles stand ----

namespace {

const frame* top_frame(const stack* pile)
{
    return pile->card->frame;
}

// Whether column is the i-th of the seven pile columns, for some i.
bool is_pile_column(int column)
{
    return column >= pile_column(0) && (column - 1) % PILE_SPACING == 0 &&
           (column - 1) / PILE_SPACING < TABLEAU_COUNT;
}

}  // namespace

bool stock_stack(const stack* pile)
{
    return top_frame(pile)->begin_y == TOP_ROW && top_frame(pile)->begin_x == STOCK_COLUMN;
}

bool waste_pile_stack(const stack* pile)
{
    return top_frame(pile)->begin_y == TOP_ROW && top_frame(pile)->begin_x == WASTE_PILE_COLUMN;
}

bool foundation_stack(const stack* pile)
{
    const int column = top_frame(pile)->begin_x;
    return top_frame(pile)->begin_y == TOP_ROW && column >= FIRST_FOUNDATION_COLUMN &&
           is_pile_column(column);
}

bool tableau_stack(const stack* pile)
{
    return top_frame(pile)->begin_y >= TABLEAU_ROW && is_pile_column(top_frame(pile)->begin_x);
}

void place_piles(struct deck* d)
{
    frame_set(d->stock->card->frame, TOP_ROW, STOCK_COLUMN);
    frame_set(d->waste_pile->card->frame, TOP_ROW, WASTE_PILE_COLUMN);
    for (int i = 0; i < FOUNDATION_COUNT; ++i)
        frame_set(d->foundation[i]->card->frame, TOP_ROW,
                  FIRST_FOUNDATION_COLUMN + PILE_SPACING * i);
    for (int i = 0; i < TABLEAU_COUNT; ++i)
        frame_set(d->tableau[i]->card->frame, TABLEAU_ROW, pile_column(i));
}

void game_end()
{
    cursor_free(cursor);
    deck_free(deck);
}

// ---- Rules and moves ----

bool valid_move(const stack* origin, const stack* destination)
{
    const card* moving = origin->card;
    const card* target = destination->card;

    if (moving->face != EXPOSED) return false;
    if (stock_stack(origin) && waste_pile_stack(destination)) return true;

    if (foundation_stack(destination)) {
        if (stack_is_empty(destination)) return moving->value == ACE;
        return moving->suit == target->suit && moving->value == target->value + 1;
    }
    if (tableau_stack(destination)) {
        if (stack_is_empty(destination)) return moving->value == KING;
        const bool other_colour = (moving->suit + target->suit) % 2 != 0;
        return target->face == EXPOSED && other_colour && moving->value + 1 == target->value;
    }
    return false;
}

void move_card(stack** origin, stack** destination)
{
    card* moving = stack_pop(origin);
    if (moving == nullptr) return;

    // Read the place before the push: pushing onto an empty pile frees its placeholder.
    const frame* place = top_frame(*destination);
    int begin_y = place->begin_y;
    const int begin_x = place->begin_x;
    if (!stack_is_empty(*destination) && tableau_stack(*destination)) ++begin_y;

    stack_push(destination, moving);
    frame_set(moving->frame, begin_y, begin_x);
}

void move_block(stack** origin, stack** destination, int count)
{
    stack* block = nullptr;
    stack_alloc(&block);
    stack_init(block);
    for (int i = 0; i < count; ++i) stack_push(&block, stack_pop(origin));
    for (int i = 0; i < count; ++i) move_card(&block, destination);
    if (stack_length(*destination) > 1) cursor->y += count;
    stack_free(block);
}

// ---- Deal and win ----

namespace {

void shuffle_stock(struct deck* d)
{
    card** cards = new (std::nothrow) card*[CARD_COUNT];
    if (cards == nullptr) fatal_error(errno, "src/game", __LINE__);

    for (int i = 0; i < CARD_COUNT; ++i) cards[i] = stack_pop(&d->stock);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    // Every step draws from all 52 places: the deal of a given second depends on it.
    for (int j = 0; j < CARD_COUNT; ++j) std::swap(cards[j], cards[std::rand() % CARD_COUNT]);
    for (int i = 0; i < CARD_COUNT; ++i) stack_push(&d->stock, cards[i]);
    delete[] cards;
}

void deal_tableau(struct deck* d)
{
    for (int sweep = 0; sweep < TABLEAU_COUNT; ++sweep) {
        move_card(&d->stock, &d->tableau[sweep]);
        card_expose(d->tableau[sweep]->card);
        for (int i = sweep + 1; i < TABLEAU_COUNT; ++i) move_card(&d->stock, &d->tableau[i]);
    }
}

}  // namespace

void game_init(struct game* g, int passes, int four_colors)
{
    cursor_alloc(&cursor);
    cursor_init(cursor);
    deck_alloc(&deck);
    deck_init(deck);
    place_piles(deck);
    g->four_color_deck = four_colors;

    for (int value = ACE; value <= KING; ++value) {
        for (int suit = DIAMONDS; suit <= CLUBS; ++suit) {
            card* c = nullptr;
            card_alloc(&c);
            card_set(c, value, suit, COVERED, TOP_ROW, STOCK_COLUMN);
            stack_push(&deck->stock, c);
        }
    }
    shuffle_stock(deck);
    deal_tableau(deck);

    draw_cursor(cursor);
    draw_deck(deck);
    // Last: the empty stock's pass marker is the only reader, and the stock is full now.
    g->passes_left = passes;
}

bool game_won()
{
    for (const stack* pile : deck->tableau) {
        for (const stack* node = pile; node != nullptr; node = node->next) {
            if (node->card->face == COVERED) return false;
        }
    }
    return stack_is_empty(deck->stock) && stack_is_empty(deck->waste_pile);
}
