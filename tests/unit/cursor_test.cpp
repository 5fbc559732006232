#include "cursor.hpp"

#include <csignal>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "game.hpp"
#include "screen.hpp"

namespace {

constexpr int TOP = CURSOR_TOP_ROW;
constexpr int LAST_X = 52;

// Empty piles at their places on the table, and the cursor under the stock.
class CursorTest : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        lay_out_empty_table();
    }

    // Fans count covered cards on tableau pile i, each one row below the last.
    static void fan(int i, int count)
    {
        for (int k = 0; k < count; ++k) {
            card* c = nullptr;
            card_alloc(&c);
            card_set(c, KING - k, k % 4, COVERED, TABLEAU_ROW + k, pile_column(i));
            stack_push(&deck->tableau[i], c);
        }
    }

    static void place(int y, int x)
    {
        cursor->y = y;
        cursor->x = x;
    }

    // The x of every stop while the cursor is moved steps times in one direction.
    static std::vector<int> walk(int direction, int steps)
    {
        std::vector<int> stops;
        for (int i = 0; i < steps; ++i) {
            cursor_move(cursor, direction);
            stops.push_back(cursor->x);
        }
        return stops;
    }
};

using CursorDeathTest = CursorTest;

TEST_F(CursorTest, CursorInit_StandsUnderStockUnmarked)
{
    cursor->marked = true;
    place(21, LAST_X);
    cursor_init(cursor);

    EXPECT_EQ(cursor->y, TOP);
    EXPECT_EQ(cursor->x, 4);
    EXPECT_FALSE(cursor->marked);
    EXPECT_TRUE(cursor_on_stock(cursor));
    EXPECT_EQ(getbegy(cursor->window), TOP);
    EXPECT_EQ(getbegx(cursor->window), 4);
}

TEST_F(CursorTest, CursorStack_NamesThePileAtEachOfTheFourteenPlaces)
{
    struct place_case {
        int y;
        int x;
        stack** pile;
    };
    const place_case cases[] = {
        {TOP, 4, &deck->stock},
        {TOP, 12, &deck->waste_pile},
        {TOP, 20, nullptr},
        {TOP, 28, &deck->foundation[0]},
        {TOP, 36, &deck->foundation[1]},
        {TOP, 44, &deck->foundation[2]},
        {TOP, 52, &deck->foundation[3]},
        {15, 4, &deck->tableau[0]},
        {16, 12, &deck->tableau[1]},
        {15, 20, &deck->tableau[2]},
        {21, 28, &deck->tableau[3]},
        {15, 36, &deck->tableau[4]},
        {40, 44, &deck->tableau[5]},
        {15, 52, &deck->tableau[6]},
    };
    for (const place_case& c : cases) {
        SCOPED_TRACE(testing::Message() << "y " << c.y << ", x " << c.x);
        place(c.y, c.x);
        EXPECT_EQ(cursor_stack(cursor), c.pile);
        EXPECT_EQ(cursor_on_stock(cursor), c.pile == &deck->stock);
        EXPECT_EQ(cursor_on_invalid_spot(cursor), c.pile == nullptr);
    }
}

TEST_F(CursorTest, CursorMove_StopsAtBothEdgesInBothRows)
{
    for (const int y : {TOP, 15}) {
        SCOPED_TRACE(testing::Message() << "row " << y);
        place(y, 4);
        EXPECT_EQ(walk(LEFT, 1), std::vector<int>{4});
        EXPECT_EQ(walk(RIGHT, 7), (std::vector<int>{12, 20, 28, 36, 44, 52, 52}));
        EXPECT_EQ(walk(LEFT, 7), (std::vector<int>{44, 36, 28, 20, 12, 4, 4}));
        EXPECT_EQ(cursor->y, y);
    }
}

TEST_F(CursorTest, CursorMove_DownFromGapLandsOverThirdPileAndUpReturnsToGap)
{
    fan(2, 4);
    place(TOP, 20);

    cursor_move(cursor, DOWN);
    EXPECT_EQ(cursor_stack(cursor), &deck->tableau[2]);
    EXPECT_EQ(cursor->y, 18);

    cursor_move(cursor, UP);
    EXPECT_EQ(cursor->y, TOP);
    EXPECT_EQ(cursor->x, 20);
    EXPECT_TRUE(cursor_on_invalid_spot(cursor));
}

TEST_F(CursorTest, CursorMove_DownInTableauRowAndUpInTopRowDoNothing)
{
    // Below its resting row, as while a selection is carried, so a fresh settling would show.
    fan(1, 2);
    place(18, 12);
    cursor_move(cursor, DOWN);
    EXPECT_EQ(cursor->y, 18);
    EXPECT_EQ(cursor->x, 12);

    place(TOP, 12);
    cursor_move(cursor, UP);
    EXPECT_EQ(cursor->y, TOP);
    EXPECT_EQ(cursor->x, 12);
}

TEST_F(CursorTest, CursorMove_SettlesBelowTheTopCardOfEachPile)
{
    fan(0, 7);
    fan(2, 3);
    fan(3, 3);
    card_mark(deck->tableau[3]->card);

    cursor_move(cursor, DOWN);
    EXPECT_EQ(cursor->y, 21);
    cursor_move(cursor, RIGHT);
    EXPECT_EQ(cursor->y, 15) << "an empty pile";
    cursor_move(cursor, RIGHT);
    EXPECT_EQ(cursor->y, 17) << "three cards";
    cursor_move(cursor, RIGHT);
    EXPECT_EQ(cursor->y, 18) << "three cards, the top one marked";
    cursor_move(cursor, LEFT);
    cursor_move(cursor, LEFT);
    cursor_move(cursor, LEFT);
    EXPECT_EQ(cursor->y, 21);
}

TEST_F(CursorTest, CursorMove_FollowsTheDealtPiles)
{
    // The deal makes its own table and cursor.
    cursor_free(cursor);
    deck_free(deck);
    game_init(&game, 3, 0);

    cursor_move(cursor, DOWN);
    for (int i = 0; i < TABLEAU_COUNT; ++i) {
        EXPECT_EQ(cursor->y, 15 + i) << "over tableau pile " << i;
        cursor_move(cursor, RIGHT);
    }
}

TEST_F(CursorTest, CursorMove_DirectionOutsideTheFourChangesNothing)
{
    fan(3, 5);
    for (const int y : {TOP, 19}) {
        for (const int direction : {-1, 4, 100}) {
            place(y, 28);
            cursor_move(cursor, direction);
            EXPECT_EQ(cursor->y, y) << "direction " << direction;
            EXPECT_EQ(cursor->x, 28) << "direction " << direction;
        }
    }
}

TEST_F(CursorTest, CursorDirection_MapsTheEightMovementKeys)
{
    const std::pair<int, int> keys[] = {
        {'h', LEFT}, {KEY_LEFT, LEFT}, {'j', DOWN},  {KEY_DOWN, DOWN},
        {'k', UP},   {KEY_UP, UP},     {'l', RIGHT}, {KEY_RIGHT, RIGHT},
    };
    for (const auto& [key, direction] : keys) EXPECT_EQ(cursor_direction(key), direction) << key;
}

// Keys that are no movement and x values that are no pile column are faults of the
// game itself; the stops must hold in every build, NDEBUG or not. Each compiler spells
// the function's signature its own way in the report, so only its name is matched.
TEST_F(CursorDeathTest, CursorDirection_OtherKeyStopsOnAssertion)
{
    testing::GTEST_FLAG(death_test_style) = "threadsafe";
    const char* report =
        R"re(cursor_direction\(.*\): Assertion `false && "invalid cursor direction"' failed)re";
    for (const int key : {int{'i'}, int{' '}, int{'q'}, KEY_HOME}) {
        EXPECT_EXIT(cursor_direction(key), testing::KilledBySignal(SIGABRT), report) << key;
    }
}

TEST_F(CursorDeathTest, CursorStack_XOffThePileColumnsStopsOnAssertion)
{
    testing::GTEST_FLAG(death_test_style) = "threadsafe";
    const char* report = R"re(cursor_stack\(.*\): Assertion `false && "invalid stack"' failed)re";
    // Among them the column one pile past the seventh, in both rows.
    const std::pair<int, int> places[] = {{TOP, 5}, {TOP, 0}, {TOP, 60}, {15, 3},
                                          {15, 56}, {15, -4}, {15, 60}};
    for (const auto& [y, x] : places) {
        place(y, x);
        EXPECT_EXIT(cursor_stack(cursor), testing::KilledBySignal(SIGABRT), report)
            << "y " << y << ", x " << x;
    }
}

}  // namespace
