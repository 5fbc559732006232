#include "keyboard.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "draw.hpp"
#include "game.hpp"
#include "screen.hpp"

namespace {

const std::string esc = "\x1b";

// Cards are written as the player reads them: "10h" face up, "[10h]" face down.
constexpr std::array<std::string_view, 13> rank_labels{"A", "2", "3",  "4", "5", "6", "7",
                                                       "8", "9", "10", "J", "Q", "K"};
constexpr std::string_view suit_letters = "dshc";

std::string name_of(const card* c)
{
    const std::string name = std::string(rank_labels[c->value]) + suit_letters[c->suit];
    return c->face == COVERED ? "[" + name + "]" : name;
}

// A pile's cards from the bottom up; "" for an empty pile.
std::string pile_text(const stack* pile)
{
    if (stack_is_empty(pile)) return "";
    std::string text = name_of(pile->card);
    for (pile = pile->next; pile != nullptr; pile = pile->next)
        text = name_of(pile->card) + " " + text;
    return text;
}

// Rows of a pile's cards from the bottom up; none for an empty pile.
std::vector<int> rows(const stack* pile)
{
    std::vector<int> result;
    if (stack_is_empty(pile)) return result;
    for (; pile != nullptr; pile = pile->next)
        result.insert(result.begin(), pile->card->frame->begin_y);
    return result;
}

// Rows of a tableau pile of count cards at rest.
std::vector<int> resting(int count)
{
    std::vector<int> result;
    for (int i = 0; i < count; ++i) result.push_back(9 + i);
    return result;
}

// Whether every card of a pile, or its placeholder, stands on the one place (y, x).
bool all_at(const stack* pile, int y, int x)
{
    for (; pile != nullptr; pile = pile->next) {
        if (pile->card->frame->begin_y != y || pile->card->frame->begin_x != x) return false;
    }
    return true;
}

// Puts the cards of text, bottom first, where the game keeps them: on the pile's place,
// and on a tableau pile one row below the card beneath.
void stack_up(stack*& pile, const std::string& text)
{
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        const int face = word.front() == '[' ? COVERED : EXPOSED;
        if (face == COVERED) word = word.substr(1, word.size() - 2);
        const int suit = static_cast<int>(suit_letters.find(word.back()));
        word.pop_back();
        const int value = static_cast<int>(std::find(rank_labels.begin(), rank_labels.end(), word) -
                                           rank_labels.begin());
        const frame* top = pile->card->frame;
        const bool fanned = !stack_is_empty(pile) && top->begin_y >= 9;
        card* c = nullptr;
        card_alloc(&c);
        card_set(c, value, suit, face, top->begin_y + (fanned ? 1 : 0), top->begin_x);
        stack_push(&pile, c);
    }
}

// An empty table: every placeholder at its pile's place, the cursor under the stock.
void lay_table()
{
    game = {};
    lay_out_empty_table();
}

// Places of the top row: 0 the stock, 1 the waste pile, 2 the gap, 3 to 6 the foundations.
void point_at_top(int place)
{
    cursor->x = 4 + 8 * place;
    cursor->y = 7;
}

void point_at_tableau(int i)
{
    cursor->x = 4 + 8 * i;
    cursor->y = deck->tableau[i]->card->frame->begin_y + 6;
}

// Puts the cursor under the pile a case starts from, a tableau pile or -1 for the waste
// pile, and gives that pile.
stack*& start_at(int origin)
{
    if (origin < 0) {
        point_at_top(1);
        return deck->waste_pile;
    }
    point_at_tableau(origin);
    return deck->tableau[origin];
}

// Picks up what is under the cursor and types keys into the selection loop. Every script
// ends with escape or the space bar, so the loop returns before the keys run out.
void carry(const std::string& keys)
{
    for (auto key = keys.rbegin(); key != keys.rend(); ++key)
        ungetch(static_cast<unsigned char>(*key));
    select_and_place(cursor);
}

std::string cursor_mark()
{
    return read_text(cursor->window, 0, 0, 1);
}

// Every card of every pile with its place, the passes left and the cursor: all that a
// key in play may change.
std::string table_state()
{
    std::string text = "passes " + std::to_string(game.passes_left) + ", cursor at " +
                       std::to_string(cursor->x) + "," + std::to_string(cursor->y) +
                       (cursor->marked ? " carrying" : "") + ", its window at " +
                       std::to_string(getbegx(cursor->window)) + "," +
                       std::to_string(getbegy(cursor->window)) + "\n";
    const auto add = [&text](const stack* pile) {
        for (; pile != nullptr; pile = pile->next) {
            const frame* f = pile->card->frame;
            text += (stack_is_empty(pile) ? "empty" : name_of(pile->card)) + "@" +
                    std::to_string(f->begin_x) + "," + std::to_string(f->begin_y) + " ";
        }
        text += "\n";
    };
    add(deck->stock);
    add(deck->waste_pile);
    for (const stack* pile : deck->foundation) add(pile);
    for (const stack* pile : deck->tableau) add(pile);
    return text;
}

class TableTest : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        lay_table();
    }
};

class MarkedCards : public TableTest {};
class SelectionLoop : public TableTest {};
class KeyHandler : public TableTest {};

// ---- Reading the selection from the rows ----

TEST_F(MarkedCards, Count_ReadsRowsAndUnmarkBringsCardsToRest)
{
    const struct {
        const char* pile;
        int marked;
    } cases[] = {
        {"", 0},
        {"8s", 0},
        {"8s", 1},
        {"[Kc] 8s 7h 6c", 1},
        {"8s 7h 6c", 2},
        {"8s 7h 6c", 3},
        {"[Kc] [Qd] 8s 7h 6c 5d", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pile) + ", " + std::to_string(c.marked) + " marked");
        lay_table();
        stack_up(deck->tableau[0], c.pile);
        stack* node = deck->tableau[0];
        for (int i = 0; i < c.marked; ++i, node = node->next) card_mark(node->card);

        EXPECT_EQ(marked_cards_count(deck->tableau[0]), c.marked);
        unmark_cards(deck->tableau[0]);
        EXPECT_EQ(rows(deck->tableau[0]), resting(stack_length(deck->tableau[0])));
        EXPECT_EQ(deck->tableau[0]->card->frame->begin_x, 1);
    }
}

// ---- Widening, narrowing and placing a selection ----

// The run 8s 7h 6c 5d lies on two face-down cards, or alone; four piles each take exactly
// one of its cards as the lowest of a block, so the cards that arrive tell the selection.
TEST_F(SelectionLoop, SelectionKeys_DecideHowManyCardsMove)
{
    const std::array<std::string, 4> run{"8s", "7h", "6c", "5d"};
    const std::array<std::string, 5> destinations{"", "9h", "8c", "7d", "6s"};
    const struct {
        std::string keys;
        std::string beneath;
        int moved;
    } cases[] = {
        {"", "[Kc] [Qd]", 1},
        {"m", "[Kc] [Qd]", 2},
        {"mm", "[Kc] [Qd]", 3},
        {"M", "[Kc] [Qd]", 4},     // every face-up card, down to the first face-down one
        {"mmmm", "[Kc] [Qd]", 4},  // a face-down card never joins
        {"Mn", "[Kc] [Qd]", 3},
        {"MN", "[Kc] [Qd]", 1},
        {"MNn", "[Kc] [Qd]", 1},  // the top card always stays selected
        {"M", "", 4},             // the whole pile, its bottom card one row low
        {"Mn", "", 3},            // n releases that bottom card
        {"Mm", "", 4},
        {"lMh", "[Kc] [Qd]", 1},  // selection keys away from the origin do nothing
        {"mlnh", "[Kc] [Qd]", 2},
        {"MlNh", "[Kc] [Qd]", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("keys \"" + c.keys + "\" over \"" + c.beneath + "\"");
        lay_table();
        stack_up(deck->tableau[0], c.beneath + " 8s 7h 6c 5d");
        for (int i = 1; i <= 4; ++i) stack_up(deck->tableau[i], destinations[i]);
        point_at_tableau(0);
        const int target = 5 - c.moved;

        carry(c.keys + std::string(target, 'l') + " ");

        std::string origin = c.beneath;
        std::string arrived = destinations[target];
        for (int i = 0; i < 4; ++i) {
            std::string& text = i < 4 - c.moved ? origin : arrived;
            text += (text.empty() ? "" : " ") + run[i];
        }
        EXPECT_EQ(pile_text(deck->tableau[0]), origin);
        EXPECT_EQ(rows(deck->tableau[0]), resting(stack_length(deck->tableau[0])));
        // An emptied pile keeps its place for the next king.
        if (origin.empty()) {
            EXPECT_TRUE(all_at(deck->tableau[0], 9, 1));
        }
        EXPECT_EQ(pile_text(deck->tableau[target]), arrived);
        EXPECT_EQ(rows(deck->tableau[target]), resting(c.moved + 1));
        EXPECT_EQ(cursor->y, deck->tableau[target]->card->frame->begin_y + 6);
        EXPECT_FALSE(cursor->marked);
    }
}

TEST_F(SelectionLoop, SelectionKeys_DoNothingOnWasteSelection)
{
    stack_up(deck->waste_pile, "8s 7h 6c 5d");
    stack_up(deck->tableau[1], "6s");
    point_at_top(1);

    carry("mMnNj ");

    EXPECT_EQ(pile_text(deck->tableau[1]), "6s 5d");
    EXPECT_EQ(pile_text(deck->waste_pile), "8s 7h 6c");
    EXPECT_TRUE(all_at(deck->waste_pile, 1, 9));
}

TEST_F(SelectionLoop, Escape_OverOriginRaisesCardsAndCursorElsewhereStays)
{
    const struct {
        std::string keys;
        int x;
        int y;
    } cases[] = {
        {"M" + esc, 4, 20},    // back up one row, to where the cursor stood before pick-up
        {"Mlh" + esc, 4, 20},  // also after a trip away and back
        {"l" + esc, 12, 15},   // over the next pile
        {"mk" + esc, 4, 7},    // under the stock
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        lay_table();
        stack_up(deck->tableau[0], "[Kc] [Qd] 8s 7h 6c 5d");
        stack_up(deck->tableau[1], "9h");
        point_at_tableau(0);

        carry(c.keys);

        EXPECT_EQ(pile_text(deck->tableau[0]), "[Kc] [Qd] 8s 7h 6c 5d");
        EXPECT_EQ(rows(deck->tableau[0]), resting(6));
        EXPECT_EQ(std::make_pair(cursor->x, cursor->y), std::make_pair(c.x, c.y));
        EXPECT_FALSE(cursor->marked);
        EXPECT_EQ(cursor_mark(), "*");
    }
}

TEST_F(SelectionLoop, Placement_LeavesCursorOnTheRowOfWhatMoved)
{
    // Piles 0 to 3 give the cursor rows 17, 15, 15 and 15; the top row is 7.
    const struct {
        int origin;  // a tableau pile, or -1 for the waste pile
        std::string keys;
        int x;
        int y;
    } cases[] = {
        {0, "ml ", 12, 17},  // a block of two onto 8s: two rows down
        {0, "ll ", 20, 16},  // one card onto 7d: one row down
        {0, "m ", 4, 17},    // a block back on its own pile: the row before pick-up
        {0, " ", 4, 18},     // one card back that no foundation takes: the carrying row
        {3, "k ", 28, 7},    // one card onto a foundation
        {-1, " ", 12, 7},    // the waste card back that no foundation takes
        {-1, "j ", 12, 15},  // the waste card refused by 8s
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.origin) + " \"" + c.keys + "\"");
        lay_table();
        stack_up(deck->tableau[0], "[9c] 7h 6c");
        stack_up(deck->tableau[1], "8s");
        stack_up(deck->tableau[2], "7d");
        stack_up(deck->tableau[3], "Ah");
        stack_up(deck->waste_pile, "4s");
        start_at(c.origin);

        carry(c.keys);

        EXPECT_EQ(std::make_pair(cursor->x, cursor->y), std::make_pair(c.x, c.y));
        EXPECT_FALSE(cursor->marked);
    }
}

TEST_F(SelectionLoop, PutBack_SingleCardGoesToFirstFoundationThatTakesIt)
{
    const struct {
        int origin;  // the first tableau pile, or -1 for the waste pile
        std::string card;
        std::array<std::string, 4> foundations;
        int taken_by;  // -1: none
    } cases[] = {
        {0, "Ah", {"Ad", "", "", ""}, 1},  // an ace to the leftmost empty foundation
        {0, "Ac", {"", "", "", ""}, 0},    {0, "2s", {"Ad", "Ac", "As", ""}, 2},
        {0, "2c", {"", "", "", "Ac"}, 3},  {0, "9h", {"Ad", "", "", ""}, -1},
        {-1, "2d", {"", "Ad", "", ""}, 1}, {-1, "5h", {"", "", "", ""}, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.origin) + " " + c.card);
        lay_table();
        for (int f = 0; f < 4; ++f) stack_up(deck->foundation[f], c.foundations[f]);
        const std::string beneath = c.origin < 0 ? "9c" : "[9c]";
        stack_up(c.origin < 0 ? deck->waste_pile : deck->tableau[0], beneath + " " + c.card);
        stack*& origin = start_at(c.origin);
        const int carrying_row = c.origin < 0 ? 7 : 17;

        carry(" ");

        for (int f = 0; f < 4; ++f) {
            std::string expected = c.foundations[f];
            if (f == c.taken_by) expected += (expected.empty() ? "" : " ") + c.card;
            EXPECT_EQ(pile_text(deck->foundation[f]), expected) << "foundation " << f;
            EXPECT_TRUE(all_at(deck->foundation[f], 1, 25 + 8 * f)) << "foundation " << f;
        }
        // The card uncovered on a tableau pile stays face down.
        EXPECT_EQ(pile_text(origin), c.taken_by < 0 ? beneath + " " + c.card : beneath);
        EXPECT_EQ(cursor->y, carrying_row);
        EXPECT_FALSE(cursor->marked);
    }
}

TEST_F(SelectionLoop, PutBack_FoundationCardStays)
{
    stack_up(deck->foundation[0], "Ad");
    point_at_top(3);

    carry(" ");

    EXPECT_EQ(pile_text(deck->foundation[0]), "Ad");
    EXPECT_EQ(pile_text(deck->foundation[1]), "");
    EXPECT_EQ(std::make_pair(cursor->x, cursor->y), std::make_pair(28, 7));
    EXPECT_FALSE(cursor->marked);
}

TEST_F(SelectionLoop, BlockOntoFoundation_MovesOnlyItsTopCard)
{
    stack_up(deck->tableau[0], "[9c] 4h 3c 2h");
    stack_up(deck->foundation[0], "Ah");
    point_at_tableau(0);

    carry("mmklll ");

    EXPECT_EQ(pile_text(deck->foundation[0]), "Ah 2h");
    EXPECT_TRUE(all_at(deck->foundation[0], 1, 25));
    EXPECT_EQ(pile_text(deck->tableau[0]), "[9c] 4h 3c");
    EXPECT_EQ(rows(deck->tableau[0]), resting(3));
    EXPECT_EQ(std::make_pair(cursor->x, cursor->y), std::make_pair(28, 7));
}

TEST_F(SelectionLoop, King_AloneOrUnderBlock_TakesRowNineOfEmptyPile)
{
    const struct {
        int origin;  // a tableau pile, or -1 for the waste pile
        std::string keys;
        int target;
        std::string arrived;
        std::string left;  // on the origin, whose uncovered card stays face down
        int y;  // the cursor went to row 15 over the empty pile, then down by the cards placed
    } cases[] = {
        {-1, "j ", 1, "Ks", "", 16},
        {4, "hhh ", 1, "Kd", "[8d]", 16},
        {0, "mll ", 2, "Kh Qc", "[9c]", 17},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arrived);
        lay_table();
        stack_up(deck->waste_pile, "Ks");
        stack_up(deck->tableau[0], "[9c] Kh Qc");
        stack_up(deck->tableau[4], "[8d] Kd");
        stack*& origin = start_at(c.origin);

        carry(c.keys);

        EXPECT_EQ(pile_text(deck->tableau[c.target]), c.arrived);
        EXPECT_EQ(rows(deck->tableau[c.target]), resting(stack_length(deck->tableau[c.target])));
        EXPECT_EQ(pile_text(origin), c.left);
        EXPECT_EQ(cursor->y, c.y);
    }
}

TEST_F(SelectionLoop, SpaceOverGap_DropsSelection)
{
    stack_up(deck->tableau[0], "7h 6c");
    point_at_tableau(0);

    carry("mkll ");

    EXPECT_EQ(pile_text(deck->tableau[0]), "7h 6c");
    EXPECT_EQ(rows(deck->tableau[0]), resting(2));
    EXPECT_EQ(std::make_pair(cursor->x, cursor->y), std::make_pair(20, 7));
    EXPECT_EQ(std::make_pair(getbegx(cursor->window), getbegy(cursor->window)),
              std::make_pair(20, 7));
    EXPECT_FALSE(cursor->marked);
    EXPECT_EQ(cursor_mark(), "*");
}

// ---- Keys in play ----

TEST_F(KeyHandler, SpaceOnStock_TurnsCardsAndRecyclesWhilePassesRemain)
{
    stack_up(deck->stock, "[Ac] [2c] [3c]");
    game.passes_left = 2;
    const auto empty_stock_mark = [] {
        return read_text(deck->stock->card->frame->window, 2, 3, 1);
    };

    handle_key(' ');
    EXPECT_EQ(pile_text(deck->waste_pile), "3c");
    EXPECT_EQ(pile_text(deck->stock), "[Ac] [2c]");
    EXPECT_EQ(game.passes_left, 2);

    handle_key(' ');
    handle_key(' ');  // the last card ends the pass
    EXPECT_EQ(pile_text(deck->waste_pile), "3c 2c Ac");
    EXPECT_TRUE(all_at(deck->waste_pile, 1, 9));
    EXPECT_TRUE(all_at(deck->stock, 1, 1));
    EXPECT_EQ(game.passes_left, 1);
    EXPECT_EQ(empty_stock_mark(), "O");

    handle_key(' ');  // back face down, in the order of the first pass
    EXPECT_EQ(pile_text(deck->stock), "[Ac] [2c] [3c]");
    EXPECT_EQ(pile_text(deck->waste_pile), "");
    EXPECT_TRUE(all_at(deck->stock, 1, 1));
    EXPECT_TRUE(all_at(deck->waste_pile, 1, 9));
    EXPECT_EQ(game.passes_left, 1);

    for (int i = 0; i < 3; ++i) handle_key(' ');
    EXPECT_EQ(game.passes_left, 0);
    EXPECT_EQ(empty_stock_mark(), "X");
    handle_key(' ');  // no pass left
    EXPECT_EQ(pile_text(deck->stock), "");
    EXPECT_EQ(pile_text(deck->waste_pile), "3c 2c Ac");
    EXPECT_EQ(game.passes_left, 0);
}

// The lowest count the command line gives must not wrap round into passes to spare when
// the last card of the stock is taken.
TEST_F(KeyHandler, SpaceOnStock_PassCountOfIntMinStaysAndNeverRecycles)
{
    stack_up(deck->stock, "[Ac]");
    game.passes_left = INT_MIN;

    handle_key(' ');
    EXPECT_EQ(game.passes_left, INT_MIN);
    EXPECT_EQ(read_text(deck->stock->card->frame->window, 2, 3, 1), "X");
    handle_key(' ');
    EXPECT_EQ(pile_text(deck->stock), "");
    EXPECT_EQ(pile_text(deck->waste_pile), "Ac");
    EXPECT_EQ(game.passes_left, INT_MIN);
}

// A pick-up here would wait for keys that never come, and end the process.
TEST_F(KeyHandler, SpaceOnCoveredTop_ExposesItWithoutPickingUp)
{
    stack_up(deck->tableau[2], "[5s] [4h]");
    point_at_tableau(2);

    handle_key(' ');

    EXPECT_EQ(pile_text(deck->tableau[2]), "[5s] 4h");
    EXPECT_EQ(rows(deck->tableau[2]), resting(2));
    EXPECT_EQ(cursor->y, 16);
    EXPECT_FALSE(cursor->marked);
}

TEST_F(KeyHandler, MovementKeys_MoveAndDrawCursor)
{
    stack_up(deck->tableau[1], "[3d] [9s] 4h");
    const struct {
        int key;
        int x;
        int y;
    } steps[] = {
        {'l', 12, 7}, {KEY_RIGHT, 20, 7}, {'j', 20, 15},   {KEY_LEFT, 12, 17},
        {'k', 12, 7}, {KEY_DOWN, 12, 17}, {KEY_UP, 12, 7}, {'h', 4, 7},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.key);
        handle_key(s.key);
        EXPECT_EQ(std::make_pair(cursor->x, cursor->y), std::make_pair(s.x, s.y));
        EXPECT_EQ(std::make_pair(getbegx(cursor->window), getbegy(cursor->window)),
                  std::make_pair(s.x, s.y));
        EXPECT_EQ(cursor_mark(), "*");
    }
}

// Play acts only on the movement keys, the space bar, q and Q and a change of size. Every
// other key is pressed with the cursor at each kind of place where one could act, and
// must leave every pile, the passes and the cursor as they were.
TEST_F(KeyHandler, OtherKeys_ChangeNothingWhereverTheCursorStands)
{
    stack_up(deck->stock, "[Ac] [2c]");
    stack_up(deck->waste_pile, "3c 4d");
    stack_up(deck->foundation[1], "Ah");
    stack_up(deck->tableau[0], "[3d] 4h");
    game.passes_left = 2;
    const struct {
        const char* place;
        bool top_row;
        int column;  // a place of the top row, or a tableau pile
    } places[] = {
        {"stock", true, 0},      {"waste pile", true, 1},    {"gap", true, 2},
        {"foundation", true, 4}, {"tableau pile", false, 0}, {"empty tableau pile", false, 1},
    };
    for (const auto& p : places) {
        if (p.top_row) {
            point_at_top(p.column);
        } else {
            point_at_tableau(p.column);
        }
        draw_cursor(cursor);
        for (const int key :
             std::initializer_list<int>{'i', 'H', 'J', 'K', 'L', 'm', 'M', 'n', 'N', esc[0], 'z'}) {
            SCOPED_TRACE(std::string(p.place) + ", key " + std::to_string(key));
            const std::string before = table_state();
            handle_key(key);
            EXPECT_EQ(table_state(), before);
        }
    }
}

// Nothing to pick up there: a selection loop would wait for keys that never come.
TEST_F(KeyHandler, SpaceOverGapOrEmptyPile_ChangesNothing)
{
    stack_up(deck->stock, "[Ac]");
    stack_up(deck->tableau[0], "4h");
    for (const bool gap : {true, false}) {
        SCOPED_TRACE(gap ? "gap" : "empty pile");
        if (gap) {
            point_at_top(2);
        } else {
            point_at_tableau(1);
        }
        const std::string before = table_state();
        handle_key(' ');
        EXPECT_EQ(table_state(), before);
    }
}

TEST_F(KeyHandler, QuitKeys_ExitWithSuccessInPlayAndWhileCarrying)
{
    stack_up(deck->tableau[0], "4h");
    point_at_tableau(0);
    EXPECT_EXIT(handle_key('q'), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(handle_key('Q'), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(carry("q"), testing::ExitedWithCode(0), "");
}

}  // namespace
