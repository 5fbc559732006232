#include "game.hpp"

#include <dlfcn.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "screen.hpp"

// ---- Counting windows ----

// Every window made or deleted through curses' entry points, so that a test can see
// whether the game deleted all that it made. The real functions come next in the
// search order, from the curses library itself.
namespace {
int live_windows = 0;
}  // namespace

extern "C" WINDOW* newwin(int nlines, int ncols, int begin_y, int begin_x)
{
    using real_newwin = WINDOW* (*)(int, int, int, int);
    static const auto real = reinterpret_cast<real_newwin>(dlsym(RTLD_NEXT, "newwin"));
    WINDOW* w = real(nlines, ncols, begin_y, begin_x);
    if (w != nullptr) ++live_windows;
    return w;
}

extern "C" int delwin(WINDOW* w)
{
    using real_delwin = int (*)(WINDOW*);
    static const auto real = reinterpret_cast<real_delwin>(dlsym(RTLD_NEXT, "delwin"));
    const int result = real(w);
    if (result != ERR) --live_windows;
    return result;
}

namespace {

using place = std::pair<int, int>;  // row, column

constexpr int TWO = 1;
constexpr int FOUR = 3;
constexpr int FIVE = 4;
constexpr int SIX = 5;
constexpr int EIGHT = 7;
constexpr int NINE = 8;
constexpr int TEN = 9;
constexpr int JACK = 10;
constexpr int QUEEN = 11;

place stored_place(const card* c)
{
    return {c->frame->begin_y, c->frame->begin_x};
}

place window_place(const card* c)
{
    int y = 0;
    int x = 0;
    getbegyx(c->frame->window, y, x);
    return {y, x};
}

// The top card of a pile at (y, x), or with no value an empty pile there.
struct pile_spec {
    int y, x;
    int value = NO_VALUE;
    int suit = NO_SUIT;
    int face = NO_FACE;
};

pile_spec empty_at(int y, int x)
{
    return {y, x};
}

pile_spec up(int value, int suit, int y, int x)
{
    return {y, x, value, suit, EXPOSED};
}

pile_spec down(int value, int suit, int y, int x)
{
    return {y, x, value, suit, COVERED};
}

stack* pile_at(const pile_spec& p)
{
    stack* s = nullptr;
    stack_alloc(&s);
    stack_init(s);
    frame_set(s->card->frame, p.y, p.x);
    if (p.value == NO_VALUE) return s;
    card* c = nullptr;
    card_alloc(&c);
    card_set(c, p.value, p.suit, p.face, p.y, p.x);
    stack_push(&s, c);
    return s;
}

// Lays a card on a pile of the table where the game keeps it: on the pile's place, or
// one row below the top card of a tableau pile.
card* put(stack** pile, int value, int suit, int face)
{
    const frame* top = (*pile)->card->frame;
    const bool fanned = !stack_is_empty(*pile) && top->begin_y >= TABLEAU_ROW;
    card* c = nullptr;
    card_alloc(&c);
    card_set(c, value, suit, face, top->begin_y + (fanned ? 1 : 0), top->begin_x);
    stack_push(pile, c);
    return c;
}

// The cards of a pile from the top down.
std::vector<card*> cards_of(const stack* s)
{
    std::vector<card*> cards;
    for (; s != nullptr; s = s->next) cards.push_back(s->card);
    return cards;
}

class RulesTest : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        lay_out_empty_table();
    }
};

// ---- Piles by position ----

TEST_F(RulesTest, PilePredicates_KnowEachPileByItsTopCardsPlaceEmptyOrNot)
{
    enum class kind { none, stock, waste_pile, foundation, tableau };
    struct {
        int y, x;
        kind pile;
    } const cases[] = {
        {1, 1, kind::stock},       {1, 9, kind::waste_pile},  {1, 17, kind::none},
        {1, 25, kind::foundation}, {1, 33, kind::foundation}, {1, 41, kind::foundation},
        {1, 49, kind::foundation}, {1, 57, kind::none},       {1, 26, kind::none},
        {1, 5, kind::none},        {2, 25, kind::none},       {0, 0, kind::none},
        {9, 1, kind::tableau},     {9, 9, kind::tableau},     {9, 17, kind::tableau},
        {9, 25, kind::tableau},    {9, 33, kind::tableau},    {9, 41, kind::tableau},
        {9, 49, kind::tableau},    {27, 49, kind::tableau},   {9, 57, kind::none},
        {9, 5, kind::none},        {9, 0, kind::none},        {8, 1, kind::none},
    };
    for (const auto& c : cases) {
        for (const bool empty : {true, false}) {
            SCOPED_TRACE(testing::Message()
                         << (empty ? "empty pile" : "one card") << " at " << c.y << "," << c.x);
            stack* s = pile_at(empty ? empty_at(c.y, c.x) : up(ACE, HEARTS, c.y, c.x));
            EXPECT_EQ(stock_stack(s), c.pile == kind::stock);
            EXPECT_EQ(waste_pile_stack(s), c.pile == kind::waste_pile);
            EXPECT_EQ(foundation_stack(s), c.pile == kind::foundation);
            EXPECT_EQ(tableau_stack(s), c.pile == kind::tableau);
            stack_free(s);
        }
    }
}

TEST_F(RulesTest, TableauStack_MarkedTopCardOneRowLowStillCounts)
{
    for (const int value : {KING, QUEEN, JACK}) put(&deck->tableau[3], value, value % 4, EXPOSED);
    card_mark(deck->tableau[3]->card);
    EXPECT_EQ(stored_place(deck->tableau[3]->card), place(12, 25));
    EXPECT_TRUE(tableau_stack(deck->tableau[3]));
}

// ---- Move rules ----

TEST_F(RulesTest, ValidMove_FollowsTheRuleOfEachDestination)
{
    struct {
        const char* what;
        pile_spec origin, destination;
        bool valid;
    } const cases[] = {
        // Foundations: an ace to begin, then the same suit one rank up.
        {"A♦ onto empty foundation 1", up(ACE, DIAMONDS, 10, 9), empty_at(1, 25), true},
        {"A♠ onto empty foundation 2", up(ACE, SPADES, 10, 9), empty_at(1, 33), true},
        {"A♥ from waste onto empty foundation 3", up(ACE, HEARTS, 1, 9), empty_at(1, 41), true},
        {"A♣ from waste onto empty foundation 4", up(ACE, CLUBS, 1, 9), empty_at(1, 49), true},
        {"2♥ onto empty foundation", up(TWO, HEARTS, 10, 9), empty_at(1, 25), false},
        {"5♥ onto 4♥", up(FIVE, HEARTS, 10, 9), up(FOUR, HEARTS, 1, 33), true},
        {"5♥ onto covered 4♥", up(FIVE, HEARTS, 1, 9), down(FOUR, HEARTS, 1, 33), true},
        {"5♦ onto 4♥", up(FIVE, DIAMONDS, 10, 9), up(FOUR, HEARTS, 1, 33), false},
        {"6♥ onto 4♥", up(SIX, HEARTS, 10, 9), up(FOUR, HEARTS, 1, 33), false},
        {"4♥ onto 4♥", up(FOUR, HEARTS, 10, 9), up(FOUR, HEARTS, 1, 33), false},
        {"4♥ onto 5♥", up(FOUR, HEARTS, 10, 9), up(FIVE, HEARTS, 1, 33), false},
        // Tableau: a king to begin, then down one rank in the other colour.
        {"K♦ onto empty tableau 1", up(KING, DIAMONDS, 10, 9), empty_at(9, 1), true},
        {"K♠ from waste onto empty tableau 3", up(KING, SPADES, 1, 9), empty_at(9, 17), true},
        {"K♥ from foundation onto empty tableau 5", up(KING, HEARTS, 1, 41), empty_at(9, 33), true},
        {"K♣ onto empty tableau 7", up(KING, CLUBS, 10, 9), empty_at(9, 49), true},
        {"Q♠ onto empty tableau", up(QUEEN, SPADES, 10, 9), empty_at(9, 1), false},
        {"9♠ onto 10♥", up(NINE, SPADES, 10, 9), up(TEN, HEARTS, 11, 17), true},
        {"9♥ from waste onto 10♣", up(NINE, HEARTS, 1, 9), up(TEN, CLUBS, 15, 49), true},
        {"9♦ onto 10♠ at row 21", up(NINE, DIAMONDS, 10, 9), up(TEN, SPADES, 21, 1), true},
        {"5♥ from foundation onto 6♠", up(FIVE, HEARTS, 1, 41), up(SIX, SPADES, 14, 41), true},
        {"9♣ onto 10♠", up(NINE, CLUBS, 10, 9), up(TEN, SPADES, 11, 17), false},
        {"9♦ onto 10♥", up(NINE, DIAMONDS, 10, 9), up(TEN, HEARTS, 11, 17), false},
        {"9♠ onto covered 10♥", up(NINE, SPADES, 10, 9), down(TEN, HEARTS, 11, 17), false},
        {"10♠ onto 10♥", up(TEN, SPADES, 10, 9), up(TEN, HEARTS, 11, 17), false},
        {"8♠ onto 10♥", up(EIGHT, SPADES, 10, 9), up(TEN, HEARTS, 11, 17), false},
        {"J♠ onto 10♥", up(JACK, SPADES, 10, 9), up(TEN, HEARTS, 11, 17), false},
        // Stock and waste pile take a card only from the stock to the waste pile.
        {"stock onto empty waste", up(EIGHT, CLUBS, 1, 1), empty_at(1, 9), true},
        {"stock onto waste 9♥", up(TWO, HEARTS, 1, 1), up(NINE, HEARTS, 1, 9), true},
        {"tableau onto empty waste", up(KING, CLUBS, 10, 9), empty_at(1, 9), false},
        {"tableau 9♠ onto waste 10♥", up(NINE, SPADES, 10, 9), up(TEN, HEARTS, 1, 9), false},
        {"waste onto empty stock", up(KING, CLUBS, 1, 9), empty_at(1, 1), false},
        {"waste onto stock", up(ACE, CLUBS, 1, 9), down(KING, CLUBS, 1, 1), false},
        // Places where no pile stands.
        {"A♥ onto the gap", up(ACE, HEARTS, 10, 9), empty_at(1, 17), false},
        {"K♥ onto the gap", up(KING, HEARTS, 10, 9), empty_at(1, 17), false},
        {"A♥ onto row 1 column 57", up(ACE, HEARTS, 10, 9), empty_at(1, 57), false},
        {"A♥ onto row 2 column 25", up(ACE, HEARTS, 10, 9), empty_at(2, 25), false},
        {"K♥ onto row 8 column 9", up(KING, HEARTS, 10, 9), empty_at(8, 9), false},
        {"K♥ onto row 9 column 57", up(KING, HEARTS, 10, 9), empty_at(9, 57), false},
        {"K♥ onto row 9 column 5", up(KING, HEARTS, 10, 9), empty_at(9, 5), false},
        {"9♠ onto 10♥ at row 5", up(NINE, SPADES, 10, 9), up(TEN, HEARTS, 5, 17), false},
        // Covered cards and empty piles give nothing.
        {"covered K♠ onto empty tableau", down(KING, SPADES, 10, 9), empty_at(9, 1), false},
        {"covered A♠ onto empty foundation", down(ACE, SPADES, 10, 9), empty_at(1, 25), false},
        {"covered 9♠ onto 10♥", down(NINE, SPADES, 10, 9), up(TEN, HEARTS, 11, 17), false},
        {"covered stock onto waste", down(EIGHT, CLUBS, 1, 1), empty_at(1, 9), false},
        {"empty stock onto waste", empty_at(1, 1), empty_at(1, 9), false},
        {"empty tableau onto empty tableau", empty_at(9, 1), empty_at(9, 9), false},
        {"empty waste onto empty foundation", empty_at(1, 9), empty_at(1, 25), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        stack* origin = pile_at(c.origin);
        stack* destination = pile_at(c.destination);
        EXPECT_EQ(valid_move(origin, destination), c.valid);
        stack_free(origin);
        stack_free(destination);
    }
}

TEST_F(RulesTest, ValidMove_PileRefusesItsOwnTopCard)
{
    // A single card put back on its own pile must be refused, whatever the pile.
    for (const pile_spec& p : {up(KING, CLUBS, 1, 1), up(SIX, HEARTS, 1, 9), up(ACE, SPADES, 1, 33),
                               up(KING, DIAMONDS, 9, 25), up(NINE, DIAMONDS, 12, 25)}) {
        SCOPED_TRACE(testing::Message() << "pile at " << p.y << "," << p.x);
        stack* s = pile_at(p);
        EXPECT_FALSE(valid_move(s, s));
        stack_free(s);
    }
}

// ---- Moves ----

TEST_F(RulesTest, MoveCard_PlacesCardByDestinationAndKeepsItsFace)
{
    put(&deck->stock, ACE, CLUBS, COVERED);
    put(&deck->stock, KING, CLUBS, COVERED);
    put(&deck->waste_pile, SIX, SPADES, EXPOSED);
    for (int value = ACE; value <= FIVE; ++value) put(&deck->foundation[2], value, HEARTS, EXPOSED);
    for (const int value : {KING, QUEEN, JACK}) put(&deck->tableau[4], value, value % 4, EXPOSED);

    struct {
        stack** origin;
        stack** destination;
        place landing;
    } const moves[] = {
        {&deck->stock, &deck->waste_pile, {1, 9}},           // waste holds all on one spot
        {&deck->waste_pile, &deck->tableau[2], {9, 17}},     // first card of an empty tableau
        {&deck->tableau[2], &deck->tableau[4], {12, 33}},    // one row below the top at 11
        {&deck->tableau[4], &deck->foundation[2], {1, 41}},  // onto five cards, same spot
        {&deck->foundation[2], &deck->foundation[0], {1, 25}},
    };
    for (const auto& m : moves) {
        SCOPED_TRACE(testing::Message()
                     << "move onto " << m.landing.first << "," << m.landing.second);
        card* moving = (*m.origin)->card;
        const int face = moving->face;
        const int origin_length = stack_length(*m.origin);
        const int destination_length = stack_length(*m.destination);
        move_card(m.origin, m.destination);
        EXPECT_EQ((*m.destination)->card, moving);
        EXPECT_EQ(stored_place(moving), m.landing);
        EXPECT_EQ(window_place(moving), m.landing);
        EXPECT_EQ(moving->face, face);
        EXPECT_EQ(stack_length(*m.origin), origin_length - 1);
        EXPECT_EQ(stack_length(*m.destination), destination_length + 1);
    }
    // The emptied tableau pile is still found at its place.
    EXPECT_TRUE(stack_is_empty(deck->tableau[2]));
    EXPECT_EQ(stored_place(deck->tableau[2]->card), place(9, 17));
    EXPECT_EQ(window_place(deck->tableau[2]->card), place(9, 17));
    EXPECT_TRUE(tableau_stack(deck->tableau[2]));
}

TEST_F(RulesTest, MoveCard_FromEmptyPileChangesNeitherPile)
{
    put(&deck->tableau[4], KING, SPADES, EXPOSED);
    const std::vector<card*> origin = cards_of(deck->tableau[1]);
    const std::vector<card*> destination = cards_of(deck->tableau[4]);
    move_card(&deck->tableau[1], &deck->tableau[4]);
    EXPECT_EQ(cards_of(deck->tableau[1]), origin);
    EXPECT_EQ(cards_of(deck->tableau[4]), destination);
    EXPECT_EQ(stored_place(deck->tableau[1]->card), place(9, 9));
}

TEST_F(RulesTest, MoveBlock_ThreeCardsLandBelowTopAtRow12InTheirOrder)
{
    for (int i = 0; i < 4; ++i) put(&deck->tableau[0], KING - i, i % 4, i < 3 ? COVERED : EXPOSED);
    put(&deck->tableau[5], ACE, DIAMONDS, COVERED);
    put(&deck->tableau[5], EIGHT, SPADES, COVERED);
    put(&deck->tableau[5], SIX, HEARTS, EXPOSED);
    put(&deck->tableau[5], FIVE, CLUBS, COVERED);
    put(&deck->tableau[5], FOUR, DIAMONDS, EXPOSED);
    const std::vector<card*> before = cards_of(deck->tableau[5]);
    card* const former_top = deck->tableau[0]->card;
    cursor->y = 18;

    move_block(&deck->tableau[5], &deck->tableau[0], 3);

    const std::vector<card*> after = cards_of(deck->tableau[0]);
    ASSERT_EQ(after.size(), 7u);
    const std::vector<card*> expected = {before[0], before[1], before[2], former_top};
    EXPECT_EQ(std::vector<card*>(after.begin(), after.begin() + 4), expected);
    EXPECT_EQ(stored_place(before[0]), place(15, 1));
    EXPECT_EQ(stored_place(before[1]), place(14, 1));
    EXPECT_EQ(stored_place(before[2]), place(13, 1));
    EXPECT_EQ(window_place(before[0]), place(15, 1));
    EXPECT_EQ(before[0]->face, EXPOSED);
    EXPECT_EQ(before[1]->face, COVERED);
    EXPECT_EQ(before[2]->face, EXPOSED);
    EXPECT_EQ(cards_of(deck->tableau[5]), std::vector<card*>(before.begin() + 3, before.end()));
    EXPECT_EQ(cursor->y, 21);
}

TEST_F(RulesTest, MoveBlock_OntoEmptyTableauStartsAtItsPlaceAndCursorStillGoesDownByCount)
{
    for (const int value : {KING, QUEEN, JACK, TEN})
        put(&deck->tableau[6], value, value % 4, EXPOSED);
    const std::vector<card*> before = cards_of(deck->tableau[6]);
    cursor->y = 7;

    move_block(&deck->tableau[6], &deck->tableau[2], 3);

    EXPECT_EQ(cards_of(deck->tableau[2]), std::vector<card*>(before.begin(), before.begin() + 3));
    EXPECT_EQ(stored_place(before[2]), place(9, 17));
    EXPECT_EQ(stored_place(before[1]), place(10, 17));
    EXPECT_EQ(stored_place(before[0]), place(11, 17));
    EXPECT_EQ(window_place(before[2]), place(9, 17));
    EXPECT_EQ(cursor->y, 10);
}

TEST_F(RulesTest, MoveBlock_CursorGoesDownOnlyWhenDestinationEndsWithMoreThanOneCard)
{
    struct {
        int destination_cards, origin_cards, count, cursor_drop;
    } const cases[] = {
        {0, 3, 1, 0}, {0, 3, 2, 2}, {2, 3, 1, 1}, {0, 3, 0, 0},
        {2, 3, 0, 0}, {0, 2, 3, 3},  // only the two cards there move, but the cursor follows count
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " of " << c.origin_cards << " cards onto "
                                        << c.destination_cards);
        lay_out_empty_table();
        for (int i = 0; i < c.destination_cards; ++i) put(&deck->tableau[1], KING - i, i, EXPOSED);
        for (int i = 0; i < c.origin_cards; ++i) put(&deck->tableau[3], QUEEN - i, i, EXPOSED);
        const int moved = std::min(c.count, c.origin_cards);
        cursor->y = 7;
        move_block(&deck->tableau[3], &deck->tableau[1], c.count);
        EXPECT_EQ(stack_length(deck->tableau[1]), c.destination_cards + moved);
        EXPECT_EQ(stack_length(deck->tableau[3]), c.origin_cards - moved);
        EXPECT_EQ(cursor->y, 7 + c.cursor_drop);
    }
}

TEST_F(RulesTest, MoveBlock_CountZeroLeavesBothPilesAlone)
{
    for (const int value : {KING, QUEEN}) put(&deck->tableau[0], value, value % 4, EXPOSED);
    for (const int value : {NINE, EIGHT}) put(&deck->tableau[1], value, value % 4, EXPOSED);
    const std::vector<card*> origin = cards_of(deck->tableau[1]);
    const std::vector<card*> destination = cards_of(deck->tableau[0]);
    move_block(&deck->tableau[1], &deck->tableau[0], 0);
    EXPECT_EQ(cards_of(deck->tableau[1]), origin);
    EXPECT_EQ(cards_of(deck->tableau[0]), destination);
    EXPECT_EQ(stored_place(origin[0]), place(10, 9));
    EXPECT_EQ(stored_place(destination[0]), place(10, 1));
}

// ---- Win and end ----

TEST_F(RulesTest, GameWon_OnlyWithNoCoveredTableauCardAndStockAndWasteEmpty)
{
    struct {
        const char* what;
        void (*lay)();
        bool won;
    } const cases[] = {
        {"empty table", [] {}, true},
        {"exposed cards left on the tableau",
         [] {
             put(&deck->tableau[0], KING, SPADES, EXPOSED);
             put(&deck->tableau[0], QUEEN, HEARTS, EXPOSED);
             put(&deck->tableau[6], KING, DIAMONDS, EXPOSED);
             put(&deck->foundation[1], ACE, SPADES, EXPOSED);
         },
         true},
        {"all cards on the foundations",
         [] {
             for (int suit = DIAMONDS; suit <= CLUBS; ++suit)
                 for (int value = ACE; value <= KING; ++value)
                     put(&deck->foundation[suit], value, suit, EXPOSED);
         },
         true},
        {"covered card under exposed cards",
         [] {
             put(&deck->tableau[3], KING, CLUBS, COVERED);
             put(&deck->tableau[3], QUEEN, HEARTS, EXPOSED);
             put(&deck->tableau[3], JACK, SPADES, EXPOSED);
         },
         false},
        {"covered card alone on the last tableau pile",
         [] { put(&deck->tableau[6], TWO, CLUBS, COVERED); }, false},
        {"one card in the waste pile", [] { put(&deck->waste_pile, TWO, CLUBS, EXPOSED); }, false},
        {"one card in the stock", [] { put(&deck->stock, TWO, CLUBS, COVERED); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        lay_out_empty_table();
        c.lay();
        EXPECT_EQ(game_won(), c.won);
    }
}

// The text of every line of what curses holds to be on the terminal.
std::vector<std::string> terminal_lines()
{
    std::vector<std::string> lines;
    for (int y = 0; y < LINES; ++y) lines.push_back(read_text(curscr, y, 0, COLS));
    return lines;
}

using GameEndTest = ScreenTest;

TEST_F(GameEndTest, GameEnd_DeletesEveryWindowTheGameMadeAndLeavesTheScreen)
{
    const int before = live_windows;
    game_init(&game, 3, 0);
    // A little play: pops that empty a pile make placeholders, pushes onto one free them.
    move_card(&deck->stock, &deck->waste_pile);
    move_card(&deck->tableau[0], &deck->waste_pile);
    move_block(&deck->tableau[6], &deck->tableau[0], 3);
    // The 52 cards, the placeholders of the four empty foundations and the cursor.
    EXPECT_EQ(live_windows - before, CARD_COUNT + FOUNDATION_COUNT + 1);

    const std::vector<std::string> shown = terminal_lines();
    game_end();
    deck = nullptr;
    cursor = nullptr;
    EXPECT_EQ(live_windows, before);
    EXPECT_EQ(terminal_lines(), shown);
}

}  // namespace
