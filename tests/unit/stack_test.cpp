#include "stack.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "deck.hpp"
#include "screen.hpp"

namespace {

using place = std::pair<int, int>;  // row, column

constexpr int JACK = 10;
constexpr int QUEEN = 11;

place window_place(const card* c)
{
    int y = 0;
    int x = 0;
    getbegyx(c->frame->window, y, x);
    return {y, x};
}

place stored_place(const card* c)
{
    return {c->frame->begin_y, c->frame->begin_x};
}

card* new_card(int value, int suit, int face, int y, int x)
{
    card* c = nullptr;
    card_alloc(&c);
    card_set(c, value, suit, face, y, x);
    return c;
}

// An empty pile whose placeholder stands at (y, x).
stack* new_pile(int y = 0, int x = 0)
{
    stack* s = nullptr;
    stack_alloc(&s);
    stack_init(s);
    if (y != 0 || x != 0) frame_set(s->card->frame, y, x);
    return s;
}

// King on top of queen on top of jack, fanned down from row 9 in column 17.
stack* king_queen_jack()
{
    stack* s = new_pile(9, 17);
    stack_push(&s, new_card(JACK, CLUBS, COVERED, 9, 17));
    stack_push(&s, new_card(QUEEN, HEARTS, EXPOSED, 10, 17));
    stack_push(&s, new_card(KING, SPADES, EXPOSED, 11, 17));
    return s;
}

// The cards of a pile from the top down.
std::vector<const card*> cards_of(const stack* s)
{
    std::vector<const card*> cards;
    for (; s != nullptr; s = s->next) cards.push_back(s->card);
    return cards;
}

// Each copy equals its original card for card, place for place, in records and windows
// of its own.
void expect_copies(const std::vector<const card*>& copies,
                   const std::vector<const card*>& originals)
{
    ASSERT_EQ(copies.size(), originals.size());
    for (std::size_t i = 0; i < copies.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "card " << i << " from the top");
        const card* copy = copies[i];
        const card* original = originals[i];
        EXPECT_NE(copy, original);
        EXPECT_NE(copy->frame->window, original->frame->window);
        EXPECT_EQ(copy->value, original->value);
        EXPECT_EQ(copy->suit, original->suit);
        EXPECT_EQ(copy->face, original->face);
        EXPECT_EQ(stored_place(copy), stored_place(original));
        EXPECT_EQ(window_place(copy), stored_place(original));
    }
}

// Writes a mark into every window of the source, frees the copy, and checks that the
// source kept its cards, places and marks.
void free_copy_and_expect_source_whole(stack* copy, const stack* source)
{
    const std::vector<const card*> before = cards_of(source);
    std::vector<place> places;
    for (const card* c : before) {
        mvwaddstr(c->frame->window, 1, 1, "#");
        places.push_back(stored_place(c));
    }
    stack_free(copy);
    ASSERT_EQ(cards_of(source), before);
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(stored_place(before[i]), places[i]);
        EXPECT_EQ(window_place(before[i]), places[i]);
        EXPECT_EQ(read_text(before[i]->frame->window, 1, 1, 1), "#");
    }
}

using StackTest = ScreenTest;
using DeckTest = ScreenTest;

TEST_F(StackTest, StackInit_GivesEmptyPileAtOriginThatPopsNothing)
{
    stack* s = new_pile();
    const card* placeholder = s->card;
    EXPECT_TRUE(stack_is_empty(s));
    EXPECT_EQ(stack_length(s), 0);
    EXPECT_EQ(stack_pop(&s), nullptr);
    EXPECT_EQ(s->card, placeholder);
    EXPECT_EQ(s->next, nullptr);
    EXPECT_EQ(stored_place(placeholder), place(0, 0));
    stack_free(s);
}

TEST_F(StackTest, StackPush_OntoEmptyKeepsTopNodeAndLeavesCardWhereItStands)
{
    stack* s = new_pile(9, 17);
    stack* const top = s;
    card* c = new_card(KING, SPADES, EXPOSED, 3, 5);
    stack_push(&s, c);
    EXPECT_EQ(s, top);
    EXPECT_EQ(s->card, c);
    EXPECT_EQ(s->next, nullptr);
    EXPECT_FALSE(stack_is_empty(s));
    EXPECT_EQ(stack_length(s), 1);
    EXPECT_EQ(stored_place(c), place(3, 5));
    EXPECT_EQ(window_place(c), place(3, 5));
    stack_free(s);
}

TEST_F(StackTest, StackPush_OntoThreeCardsPutsNewNodeOnTop)
{
    stack* s = king_queen_jack();
    stack* const old_top = s;
    card* c = new_card(ACE, DIAMONDS, COVERED, 1, 1);
    stack_push(&s, c);
    EXPECT_NE(s, old_top);
    EXPECT_EQ(s->next, old_top);
    EXPECT_EQ(s->card, c);
    EXPECT_EQ(stack_length(s), 4);
    EXPECT_EQ(stored_place(c), place(1, 1));
    stack_free(s);
}

TEST_F(StackTest, StackPush_NullChangesNeitherEmptyNorFullPile)
{
    for (stack* s : {new_pile(1, 9), king_queen_jack()}) {
        const std::vector<const card*> before = cards_of(s);
        stack* const top = s;
        stack_push(&s, nullptr);
        EXPECT_EQ(s, top);
        EXPECT_EQ(cards_of(s), before);
        stack_free(s);
    }
}

TEST_F(StackTest, StackPop_LastCardLeavesPlaceholderAtItsRow)
{
    stack* s = new_pile(9, 17);
    stack* const top = s;
    card* c = new_card(QUEEN, HEARTS, EXPOSED, 12, 17);  // a card off its pile's place
    stack_push(&s, c);

    EXPECT_EQ(stack_pop(&s), c);
    EXPECT_EQ(s, top);
    EXPECT_TRUE(stack_is_empty(s));
    EXPECT_NE(s->card, c);
    EXPECT_EQ(stored_place(s->card), place(12, 17));
    EXPECT_EQ(window_place(s->card), place(12, 17));
    EXPECT_NE(s->card->frame->window, c->frame->window);
    EXPECT_EQ(stored_place(c), place(12, 17));
    card_free(c);
    stack_free(s);
}

TEST_F(StackTest, StackPop_TwoCardsGivesTopThenBottom)
{
    stack* s = new_pile(9, 1);
    card* bottom = new_card(KING, CLUBS, COVERED, 9, 1);
    card* top_card = new_card(QUEEN, DIAMONDS, EXPOSED, 10, 1);
    stack_push(&s, bottom);
    stack* const second = s;
    stack_push(&s, top_card);

    EXPECT_EQ(stack_pop(&s), top_card);
    EXPECT_EQ(s, second);
    EXPECT_EQ(stack_length(s), 1);
    EXPECT_EQ(stack_pop(&s), bottom);
    EXPECT_TRUE(stack_is_empty(s));
    EXPECT_EQ(stored_place(s->card), place(9, 1));
    card_free(top_card);
    card_free(bottom);
    stack_free(s);
}

TEST_F(StackTest, StackLength_CountsCoveredAndExposedCards)
{
    stack* s = king_queen_jack();  // one covered, two exposed
    EXPECT_EQ(stack_length(s), 3);
    stack_push(&s, new_card(ACE, HEARTS, COVERED, 12, 17));
    EXPECT_EQ(stack_length(s), 4);
    stack_free(s);
}

TEST_F(StackTest, StackReverse_EmptyPileGivesEmptyPileAtSamePlace)
{
    stack* source = new_pile(1, 9);
    stack* copy = stack_reverse(source);
    EXPECT_NE(copy, source);
    EXPECT_TRUE(stack_is_empty(copy));
    EXPECT_EQ(stored_place(copy->card), place(1, 9));
    EXPECT_EQ(window_place(copy->card), place(1, 9));
    free_copy_and_expect_source_whole(copy, source);
    EXPECT_TRUE(stack_is_empty(source));
    stack_free(source);
}

TEST_F(StackTest, StackReverse_GivesCopiesBottomCardOnTop)
{
    stack* one = new_pile(9, 25);
    stack_push(&one, new_card(ACE, SPADES, EXPOSED, 9, 25));
    stack* three = king_queen_jack();

    for (const stack* source : {one, three}) {
        std::vector<const card*> reversed = cards_of(source);
        std::reverse(reversed.begin(), reversed.end());
        stack* copy = stack_reverse(source);
        expect_copies(cards_of(copy), reversed);
        free_copy_and_expect_source_whole(copy, source);
    }
    EXPECT_EQ(three->card->value, KING);  // the source kept its own order
    stack_free(one);
    stack_free(three);
}

TEST_F(StackTest, StackDup_GivesCopiesInSameOrder)
{
    stack* source = king_queen_jack();
    stack* copy = stack_dup(source);
    expect_copies(cards_of(copy), cards_of(source));
    free_copy_and_expect_source_whole(copy, source);
    stack_free(source);
}

TEST_F(StackTest, StackDup_EmptyPileGivesEmptyPileAtOrigin)
{
    stack* source = new_pile(9, 33);
    stack* copy = stack_dup(source);
    EXPECT_TRUE(stack_is_empty(copy));
    EXPECT_NE(copy->card, source->card);
    EXPECT_EQ(stored_place(copy->card), place(0, 0));
    free_copy_and_expect_source_whole(copy, source);
    stack_free(source);
}

// The deck's piles in field order.
std::vector<stack*> piles_of(const struct deck* d)
{
    std::vector<stack*> piles = {d->stock, d->waste_pile};
    piles.insert(piles.end(), d->foundation.begin(), d->foundation.end());
    piles.insert(piles.end(), d->tableau.begin(), d->tableau.end());
    return piles;
}

TEST_F(DeckTest, DeckInit_GivesThirteenDistinctEmptyPilesAtOrigin)
{
    struct deck* d = nullptr;
    deck_alloc(&d);
    deck_init(d);
    const std::vector<stack*> piles = piles_of(d);
    for (std::size_t i = 0; i < piles.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "pile " << i);
        ASSERT_NE(piles[i], nullptr);
        EXPECT_TRUE(stack_is_empty(piles[i]));
        EXPECT_EQ(stack_length(piles[i]), 0);
        EXPECT_EQ(stored_place(piles[i]->card), place(0, 0));
        for (std::size_t j = 0; j < i; ++j) EXPECT_NE(piles[i], piles[j]);
    }
    deck_free(d);
}

// Run under the sanitizer build, this shows every card freed wherever it lies.
TEST_F(DeckTest, DeckFree_FreesCardsOnEveryPileEmptiedOrNot)
{
    struct deck* d = nullptr;
    deck_alloc(&d);
    deck_init(d);
    int value = 0;
    for (stack** pile : {&d->stock, &d->waste_pile, &d->foundation[0], &d->foundation[3],
                         &d->tableau[0], &d->tableau[6]}) {
        for (int i = 0; i < 3; ++i) stack_push(pile, new_card(value++ % 13, i, EXPOSED, 9, 1));
    }
    // A pile emptied by pops holds a placeholder made by the pop.
    card_free(stack_pop(&d->tableau[6]));
    card_free(stack_pop(&d->tableau[6]));
    card_free(stack_pop(&d->tableau[6]));
    EXPECT_TRUE(stack_is_empty(d->tableau[6]));
    deck_free(d);
}

}  // namespace
