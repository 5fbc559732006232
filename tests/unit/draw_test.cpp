#include "draw.hpp"

#include <cwctype>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "game.hpp"
#include "main.hpp"
#include "screen.hpp"

namespace {

constexpr int TEN = 9;

// A blanked window is filled with a non-printing character that the terminal shows as
// a space, so both count as showing nothing.
bool shows_nothing(const cell& c)
{
    return c.text == L" " || (c.text.size() == 1 && !std::iswprint(c.text[0]));
}

// Every cell of the h x w block at (y, x) of win shows nothing, in the given pair.
void expect_blank(WINDOW* win, int y, int x, int h, int w, short pair)
{
    for (int r = y; r < y + h; ++r) {
        for (int c = x; c < x + w; ++c) {
            const cell got = read_cell(win, r, c);
            EXPECT_TRUE(shows_nothing(got)) << "row " << r << ", column " << c;
            EXPECT_EQ(got.pair, pair) << "row " << r << ", column " << c;
            EXPECT_FALSE(got.attrs & A_ALTCHARSET) << "row " << r << ", column " << c;
        }
    }
}

// The line box of a card's five rows, as curses stores its line characters.
const std::string BOX[FRAME_HEIGHT] = {"lqqqqqk", "x     x", "x     x", "x     x", "mqqqqqj"};

// The border of the card-sized block at (y, x) of win is the line box in the given pair.
void expect_box(WINDOW* win, int y, int x, short pair)
{
    for (int r = 0; r < FRAME_HEIGHT; ++r) {
        for (int c = 0; c < FRAME_WIDTH; ++c) {
            if (r != 0 && r != FRAME_HEIGHT - 1 && c != 0 && c != FRAME_WIDTH - 1) continue;
            const cell got = read_cell(win, y + r, x + c);
            EXPECT_EQ(got.text, std::wstring(1, BOX[r][c])) << "row " << r << ", column " << c;
            EXPECT_TRUE(got.attrs & A_ALTCHARSET) << "row " << r << ", column " << c;
            EXPECT_EQ(got.pair, pair) << "row " << r << ", column " << c;
        }
    }
}

using region = std::vector<std::tuple<std::wstring, attr_t, short>>;

// What curscr holds in the h x w block at (y, x): what the terminal was sent there.
region screen_region(int y, int x, int h, int w)
{
    region cells;
    for (int r = y; r < y + h; ++r) {
        for (int c = x; c < x + w; ++c) {
            const cell got = read_cell(curscr, r, c);
            cells.emplace_back(got.text, got.attrs, got.pair);
        }
    }
    return cells;
}

// Empty piles at their places on the table, and the cursor under the stock.
class DrawTest : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        lay_out_empty_table();
    }

    // Puts a new card on the pile where play would: one row below the top card of a
    // tableau pile, else on the pile's own place.
    static card* add(stack** pile, int value, int suit, int face)
    {
        const frame* top = (*pile)->card->frame;
        const int y = top->begin_y + (tableau_stack(*pile) && !stack_is_empty(*pile) ? 1 : 0);
        card* c = nullptr;
        card_alloc(&c);
        card_set(c, value, suit, face, y, top->begin_x);
        stack_push(pile, c);
        return c;
    }

    // Lays count cards on the pile, all covered but the top one.
    static void fan(stack** pile, int count)
    {
        for (int k = 0; k < count; ++k)
            add(pile, KING - k % 13, k % 4, k == count - 1 ? EXPOSED : COVERED);
    }
};

TEST_F(DrawTest, DrawCard_FaceShowsLabelAndSymbolInTwoCornersOnly)
{
    struct face_case {
        int value;
        int suit;
        const char* top;
        const char* bottom;
    };
    const face_case cases[] = {
        {TEN, HEARTS, "10♥    ", "    ♥10"},
        {ACE, SPADES, "A♠     ", "     ♠A"},
        {KING, CLUBS, "K♣     ", "     ♣K"},
        {7, DIAMONDS, "8♦     ", "     ♦8"},
    };
    for (const face_case& c : cases) {
        SCOPED_TRACE(c.top);
        card* shown = add(&deck->waste_pile, c.value, c.suit, EXPOSED);
        draw_card(shown);
        WINDOW* w = shown->frame->window;
        EXPECT_EQ(read_text(w, 0, 0, FRAME_WIDTH), c.top);
        EXPECT_EQ(read_text(w, 4, 0, FRAME_WIDTH), c.bottom);
        expect_blank(w, 1, 0, 3, FRAME_WIDTH, BLACK_ON_WHITE);
        EXPECT_EQ(read_text(curscr, TOP_ROW, WASTE_PILE_COLUMN, FRAME_WIDTH), c.top);
    }
}

TEST_F(DrawTest, DrawCard_SymbolsTakeTheSuitColourAndLabelsStayBlack)
{
    struct colour_case {
        int four_color_deck;
        int suit;
        const char* symbol;
        short pair;
    };
    const colour_case cases[] = {
        {0, DIAMONDS, "♦", RED_ON_WHITE},    {0, SPADES, "♠", BLACK_ON_WHITE},
        {0, HEARTS, "♥", RED_ON_WHITE},      {0, CLUBS, "♣", BLACK_ON_WHITE},
        {1, DIAMONDS, "♦", YELLOW_ON_WHITE}, {1, SPADES, "♠", GREEN_ON_WHITE},
        {1, HEARTS, "♥", RED_ON_WHITE},      {1, CLUBS, "♣", BLACK_ON_WHITE},
    };
    // One card drawn over and over, so a colour left over from the last drawing would show.
    card* shown = add(&deck->foundation[0], 1, DIAMONDS, EXPOSED);
    WINDOW* w = shown->frame->window;
    for (const colour_case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "four colours " << c.four_color_deck << ", " << c.symbol);
        game.four_color_deck = c.four_color_deck;
        shown->suit = c.suit;
        draw_card(shown);
        EXPECT_EQ(read_text(w, 0, 1, 1), c.symbol);
        EXPECT_EQ(read_cell(w, 0, 1).pair, c.pair);
        EXPECT_EQ(read_cell(w, 4, 5).pair, c.pair);
        EXPECT_EQ(read_cell(w, 0, 0).pair, BLACK_ON_WHITE);
        EXPECT_EQ(read_cell(w, 4, 6).pair, BLACK_ON_WHITE);
    }
}

TEST_F(DrawTest, DrawCard_FaceHasNoBorderLinesAndBackHasLineBoxOnBlue)
{
    card* shown = add(&deck->waste_pile, TEN, SPADES, COVERED);
    WINDOW* w = shown->frame->window;
    draw_card(shown);

    card_expose(shown);
    draw_card(shown);
    expect_blank(w, 0, 3, 1, 4, BLACK_ON_WHITE);
    expect_blank(w, 1, 0, 3, FRAME_WIDTH, BLACK_ON_WHITE);
    expect_blank(w, 4, 0, 1, 4, BLACK_ON_WHITE);

    // A card with no face at all shows its back, like a covered one.
    for (const int face : {COVERED, NO_FACE}) {
        SCOPED_TRACE(face);
        shown->face = face;
        draw_card(shown);
        expect_box(w, 0, 0, WHITE_ON_BLUE);
        expect_blank(w, 1, 1, 3, 5, WHITE_ON_BLUE);
        expect_box(curscr, TOP_ROW, WASTE_PILE_COLUMN, WHITE_ON_BLUE);
        card_expose(shown);
        draw_card(shown);
    }
}

TEST_F(DrawTest, DrawStack_EmptyStockShowsWhetherAPassMayBegin)
{
    const std::pair<int, const char*> cases[] = {{3, "O"}, {1, "O"}, {0, "X"}, {-2, "X"}};
    WINDOW* w = deck->stock->card->frame->window;
    for (const auto& [passes, mark] : cases) {
        SCOPED_TRACE(passes);
        game.passes_left = passes;
        draw_stack(deck->stock);
        expect_box(w, 0, 0, 0);
        EXPECT_EQ(read_text(w, 2, 1, 5), std::string("  ") + mark + "  ");
        EXPECT_EQ(read_text(curscr, 3, 4, 1), mark);
    }
}

TEST_F(DrawTest, DrawStack_OtherEmptyPilesShowOnlyTheBox)
{
    game.passes_left = 3;
    for (const stack* pile : {deck->waste_pile, deck->foundation[2], deck->tableau[4]}) {
        draw_stack(pile);
        const frame* place = pile->card->frame;
        SCOPED_TRACE(testing::Message() << "pile at " << place->begin_y << ", " << place->begin_x);
        expect_box(curscr, place->begin_y, place->begin_x, 0);
        expect_blank(curscr, place->begin_y + 1, place->begin_x + 1, 3, 5, 0);
    }
}

TEST_F(DrawTest, DrawStack_TableauPileShowsTopRowOfLowerCardsAndWholeTopCard)
{
    add(&deck->tableau[1], KING, SPADES, COVERED);
    add(&deck->tableau[1], 5, HEARTS, COVERED);
    add(&deck->tableau[1], TEN, CLUBS, EXPOSED);
    card* top = add(&deck->tableau[1], 8, HEARTS, EXPOSED);
    const int x = pile_column(1);

    draw_stack(deck->tableau[1]);
    EXPECT_EQ(read_text(curscr, 9, x, FRAME_WIDTH), BOX[0]);
    EXPECT_EQ(read_text(curscr, 10, x, FRAME_WIDTH), BOX[0]);
    EXPECT_EQ(read_text(curscr, 11, x, FRAME_WIDTH), "10♣    ");
    EXPECT_EQ(read_text(curscr, 12, x, FRAME_WIDTH), "9♥     ");
    expect_blank(curscr, 13, x, 3, FRAME_WIDTH, BLACK_ON_WHITE);
    EXPECT_EQ(read_text(curscr, 16, x, FRAME_WIDTH), "     ♥9");

    // A marked top card stands one row low and uncovers a second row of the card under it.
    erase_stack(deck->tableau[1]);
    card_mark(top);
    draw_stack(deck->tableau[1]);
    EXPECT_EQ(read_text(curscr, 11, x, FRAME_WIDTH), "10♣    ");
    expect_blank(curscr, 12, x, 1, FRAME_WIDTH, BLACK_ON_WHITE);
    EXPECT_EQ(read_text(curscr, 13, x, FRAME_WIDTH), "9♥     ");
    EXPECT_EQ(read_text(curscr, 17, x, FRAME_WIDTH), "     ♥9");
}

TEST_F(DrawTest, DrawStack_PileOnOnePlaceDrawsOnlyTheTopCardWindow)
{
    for (stack** pile : {&deck->stock, &deck->waste_pile, &deck->foundation[3]}) {
        const int face = pile == &deck->stock ? COVERED : EXPOSED;
        for (int value = ACE; value <= 2; ++value) add(pile, value, HEARTS, face);
        SCOPED_TRACE(testing::Message() << "pile at column " << (*pile)->card->frame->begin_x);

        draw_stack(*pile);
        EXPECT_EQ(read_cell((*pile)->card->frame->window, 0, 0).pair,
                  face == COVERED ? WHITE_ON_BLUE : BLACK_ON_WHITE);
        for (const stack* under = (*pile)->next; under != nullptr; under = under->next)
            expect_blank(under->card->frame->window, 0, 0, FRAME_HEIGHT, FRAME_WIDTH, 0);
    }
}

TEST_F(DrawTest, EraseStack_BlanksEveryCardOfATableauPile)
{
    fan(&deck->tableau[5], 4);
    const int x = pile_column(5);
    draw_stack(deck->tableau[5]);

    erase_stack(deck->tableau[5]);
    for (const stack* node = deck->tableau[5]; node != nullptr; node = node->next)
        expect_blank(node->card->frame->window, 0, 0, FRAME_HEIGHT, FRAME_WIDTH, 0);
    expect_blank(curscr, TABLEAU_ROW, x, 3 + FRAME_HEIGHT, FRAME_WIDTH, 0);
}

TEST_F(DrawTest, EraseStack_BlanksOnlyTheTopCardOfAnotherPile)
{
    card* under = add(&deck->waste_pile, ACE, DIAMONDS, EXPOSED);
    card* top = add(&deck->waste_pile, 4, CLUBS, EXPOSED);
    draw_card(under);
    draw_card(top);

    erase_stack(deck->waste_pile);
    expect_blank(top->frame->window, 0, 0, FRAME_HEIGHT, FRAME_WIDTH, 0);
    expect_blank(curscr, TOP_ROW, WASTE_PILE_COLUMN, FRAME_HEIGHT, FRAME_WIDTH, 0);
    EXPECT_EQ(read_text(under->frame->window, 0, 0, 2), "A♦");
}

TEST_F(DrawTest, DrawCursor_ShowsStarOrAtAndEraseCursorBlanksIt)
{
    for (const bool marked : {false, true, false}) {
        cursor->marked = marked;
        draw_cursor(cursor);
        const cell shown = read_cell(curscr, CURSOR_TOP_ROW, 4);
        EXPECT_EQ(shown.text, marked ? L"@" : L"*");
        EXPECT_EQ(shown.pair, 0);

        erase_cursor(cursor);
        expect_blank(curscr, CURSOR_TOP_ROW, 4, 1, 1, 0);
    }

    // Drawn at its new place after a move, not where it was.
    cursor_move(cursor, RIGHT);
    draw_cursor(cursor);
    EXPECT_EQ(read_text(curscr, CURSOR_TOP_ROW, 12, 1), "*");
    expect_blank(curscr, CURSOR_TOP_ROW, 4, 1, 1, 0);
}

// A second erase at the cursor's place blanks and refreshes again, as placing a block
// back on its own pile does; one left elsewhere by a failed draw must not, or it would
// cut into whatever was drawn over its old cell since.
TEST_F(DrawTest, EraseCursor_RefreshesAtItsPlaceEvenWithoutMarkerButNotElsewhere)
{
    const auto paint_over_cursor_cell = [] {
        mvwaddch(stdscr, CURSOR_TOP_ROW, 4, 'x');
        wrefresh(stdscr);
    };
    draw_cursor(cursor);
    erase_cursor(cursor);
    paint_over_cursor_cell();
    erase_cursor(cursor);
    expect_blank(curscr, CURSOR_TOP_ROW, 4, 1, 1, 0);

    cursor->y = LINES;  // below the last line: the window stays where it was
    draw_cursor(cursor);
    paint_over_cursor_cell();
    erase_cursor(cursor);
    EXPECT_EQ(read_text(curscr, CURSOR_TOP_ROW, 4, 1), "x");
}

// A screen of the least size the game accepts, where a long tableau pile runs off
// the bottom edge.
class ShortScreenDrawTest : public DrawTest {
public:
    ShortScreenDrawTest()
    {
        lines = MIN_TERM_LINES;
        cols = MIN_TERM_COLS;
    }
};

// A screen tall enough for the same pile.
class TallScreenDrawTest : public DrawTest {
public:
    TallScreenDrawTest()
    {
        lines = 40;
    }
};

constexpr int LONG_PILE = 17;  // its top card stands at row 25
constexpr int LONG_PILE_INDEX = 3;

TEST_F(ShortScreenDrawTest, LongTableauPile_DrawsNothingOutsideItsOwnPlace)
{
    game.passes_left = 3;
    draw_stack(deck->stock);
    draw_cursor(cursor);
    erase_cursor(cursor);
    const region top_left = screen_region(0, 0, FRAME_HEIGHT, 8);

    stack** pile = &deck->tableau[LONG_PILE_INDEX];
    fan(pile, LONG_PILE);
    const int x = pile_column(LONG_PILE_INDEX);
    draw_stack(*pile);
    EXPECT_EQ(screen_region(0, 0, FRAME_HEIGHT, 8), top_left);

    // The last card that fits lies whole on the bottom lines; nothing of the two below shows.
    EXPECT_EQ(read_text(curscr, 23, x, FRAME_WIDTH), BOX[0]);
    EXPECT_EQ(read_text(curscr, 24, x, FRAME_WIDTH), BOX[1]);
    EXPECT_EQ(read_text(curscr, MIN_TERM_LINES - 1, x, FRAME_WIDTH), BOX[4]);

    int row = TABLEAU_ROW + LONG_PILE - 1;
    for (const stack* node = *pile; node != nullptr; node = node->next, --row)
        EXPECT_EQ(node->card->frame->begin_y, row);

    // The cursor belongs below the screen: it shows nowhere, not even where it stood.
    for (int i = 0; i < LONG_PILE_INDEX; ++i) cursor_move(cursor, RIGHT);
    cursor_move(cursor, DOWN);
    draw_cursor(cursor);
    for (int y = 0; y < MIN_TERM_LINES; ++y)
        EXPECT_EQ(read_text(curscr, y, 0, MIN_TERM_COLS).find_first_of("*@"), std::string::npos)
            << y;
    expect_blank(curscr, CURSOR_TOP_ROW, 4, 1, 1, 0);
    erase_cursor(cursor);

    erase_stack(*pile);
    EXPECT_EQ(screen_region(0, 0, FRAME_HEIGHT, 8), top_left);
    expect_blank(curscr, TABLEAU_ROW, x, MIN_TERM_LINES - TABLEAU_ROW, FRAME_WIDTH, 0);
}

TEST_F(TallScreenDrawTest, LongTableauPile_ShowsWhole)
{
    stack** pile = &deck->tableau[LONG_PILE_INDEX];
    fan(pile, LONG_PILE);
    const int x = pile_column(LONG_PILE_INDEX);
    draw_stack(*pile);
    for (int row = TABLEAU_ROW; row < 25; ++row)
        EXPECT_EQ(read_text(curscr, row, x, FRAME_WIDTH), BOX[0]);
    EXPECT_EQ(read_text(curscr, 25, x, FRAME_WIDTH), "10♦    ");
    EXPECT_EQ(read_text(curscr, 29, x, FRAME_WIDTH), "    ♦10");

    for (int i = 0; i < LONG_PILE_INDEX; ++i) cursor_move(cursor, RIGHT);
    cursor_move(cursor, DOWN);
    draw_cursor(cursor);
    EXPECT_EQ(read_text(curscr, 31, x + 3, 1), "*");
}

// Without a table colour the terminal's own colours (pair 0) must show through too.
class NoBackgroundDrawTest : public DrawTest {
public:
    NoBackgroundDrawTest()
    {
        background_color = false;
    }
};

TEST_F(NoBackgroundDrawTest, EraseCard_LeavesBlankCellsInTheTerminalColours)
{
    card* face = add(&deck->foundation[0], ACE, HEARTS, EXPOSED);
    card* back = add(&deck->stock, ACE, SPADES, COVERED);
    for (const card* c : {face, back}) {
        draw_card(c);
        erase_card(c);
        expect_blank(c->frame->window, 0, 0, FRAME_HEIGHT, FRAME_WIDTH, 0);
        expect_blank(curscr, c->frame->begin_y, c->frame->begin_x, FRAME_HEIGHT, FRAME_WIDTH, 0);
    }
}

}  // namespace
