#include "card.hpp"

#include <utility>

#include <gtest/gtest.h>

#include "frame.hpp"
#include "screen.hpp"

namespace {

using place = std::pair<int, int>;  // row, column

place window_place(WINDOW* w)
{
    int y = 0;
    int x = 0;
    getbegyx(w, y, x);
    return {y, x};
}

place stored_place(const frame* f)
{
    return {f->begin_y, f->begin_x};
}

// A placeholder: no rank, suit or face, its frame and window at where.
void expect_placeholder_at(const card* c, place where)
{
    EXPECT_EQ(c->value, NO_VALUE);
    EXPECT_EQ(c->suit, NO_SUIT);
    EXPECT_EQ(c->face, NO_FACE);
    EXPECT_EQ(stored_place(c->frame), where);
    EXPECT_EQ(window_place(c->frame->window), where);
}

card* new_card(int value, int suit, int face, int y, int x)
{
    card* c = nullptr;
    card_alloc(&c);
    card_set(c, value, suit, face, y, x);
    return c;
}

using FrameTest = ScreenTest;
using CardTest = ScreenTest;

TEST_F(FrameTest, FrameSet_MovesWindowWhereCursesAllowsAndAlwaysStoresThePlace)
{
    // The screen is 30x80 and a card 5x7: rows past 25 and columns past 73 do not fit.
    struct {
        int y, x;
        place window;  // where the window should stand afterwards
    } const cases[] = {
        {9, 17, {9, 17}}, {1, 49, {1, 49}}, {25, 73, {25, 73}},
        {40, 17, {3, 5}}, {9, 78, {3, 5}},  {-1, 0, {3, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "frame_set to " << c.y << "," << c.x);
        frame* f = nullptr;
        frame_alloc(&f);
        EXPECT_EQ(window_place(f->window), place(0, 0));
        frame_set(f, 3, 5);
        frame_set(f, c.y, c.x);
        EXPECT_EQ(stored_place(f), place(c.y, c.x));
        EXPECT_EQ(window_place(f->window), c.window);
        frame_free(f);
    }
}

TEST_F(FrameTest, FrameInit_ZeroesStoredPlaceButLeavesWindowWhereItWas)
{
    frame* f = nullptr;
    frame_alloc(&f);
    frame_set(f, 9, 17);
    frame_init(f);
    EXPECT_EQ(stored_place(f), place(0, 0));
    EXPECT_EQ(window_place(f->window), place(9, 17));
    frame_free(f);
}

TEST_F(FrameTest, FrameDup_GivesOwnWindowAtSamePlaceAndFreeingItSparesSource)
{
    frame* source = nullptr;
    frame_alloc(&source);
    frame_set(source, 12, 33);
    mvwaddstr(source->window, 2, 3, "Q");

    frame* copy = frame_dup(source);
    EXPECT_NE(copy->window, source->window);
    EXPECT_EQ(stored_place(copy), place(12, 33));
    EXPECT_EQ(window_place(copy->window), place(12, 33));

    frame_free(copy);
    EXPECT_EQ(stored_place(source), place(12, 33));
    EXPECT_EQ(window_place(source->window), place(12, 33));
    EXPECT_EQ(read_text(source->window, 2, 3, 1), "Q");
    frame_free(source);
}

TEST_F(CardTest, CardInit_GivesPlaceholderAtOrigin)
{
    card* c = nullptr;
    card_alloc(&c);
    card_init(c);
    expect_placeholder_at(c, place(0, 0));
    card_free(c);
}

TEST_F(CardTest, CardSet_PlaceholderWithPlaceMovesItsWindow)
{
    card* c = new_card(NO_VALUE, NO_SUIT, NO_FACE, 9, 17);
    expect_placeholder_at(c, place(9, 17));
    card_free(c);
}

TEST_F(CardTest, CardMark_EachMarkLowersOneRowAndUnmarkLiftsBack)
{
    card* c = new_card(7, HEARTS, EXPOSED, 11, 25);
    // Each step, then where the frame and its window stand.
    struct {
        void (*step)(card*);
        int row;
    } const steps[] = {
        {card_mark, 12}, {card_unmark, 11}, {card_mark, 12},
        {card_mark, 13}, {card_unmark, 12}, {card_unmark, 11},
    };
    for (const auto& s : steps) {
        s.step(c);
        EXPECT_EQ(stored_place(c->frame), place(s.row, 25));
        EXPECT_EQ(window_place(c->frame->window), place(s.row, 25));
    }
    EXPECT_EQ(c->value, 7);
    EXPECT_EQ(c->face, EXPOSED);
    card_free(c);
}

TEST_F(CardTest, CardDup_GivesIndependentCopyWithOwnWindow)
{
    const int queen = 11;
    struct {
        int value, suit, face;
    } const sources[] = {
        {queen, HEARTS, EXPOSED}, {ACE, CLUBS, COVERED}, {NO_VALUE, NO_SUIT, NO_FACE}};
    for (const auto& s : sources) {
        SCOPED_TRACE(testing::Message() << "value " << s.value << " suit " << s.suit);
        card* source = new_card(s.value, s.suit, s.face, 9, 17);
        mvwaddstr(source->frame->window, 0, 0, "Q");

        card* copy = card_dup(source);
        EXPECT_NE(copy, source);
        EXPECT_NE(copy->frame, source->frame);
        EXPECT_NE(copy->frame->window, source->frame->window);
        EXPECT_EQ(copy->value, s.value);
        EXPECT_EQ(copy->suit, s.suit);
        EXPECT_EQ(copy->face, s.face);
        EXPECT_EQ(stored_place(copy->frame), place(9, 17));
        EXPECT_EQ(window_place(copy->frame->window), place(9, 17));

        // The copy is the copy's alone: changing or freeing it leaves the source whole.
        card_mark(copy);
        card_cover(copy);
        EXPECT_EQ(stored_place(source->frame), place(9, 17));
        EXPECT_EQ(source->face, s.face);
        card_free(copy);
        EXPECT_EQ(window_place(source->frame->window), place(9, 17));
        EXPECT_EQ(read_text(source->frame->window, 0, 0, 1), "Q");
        card_free(source);
    }
}

}  // namespace
