#include "script.hpp"

#include <array>
#include <cstddef>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "deal.hpp"

namespace {

constexpr int ACE = 0;
constexpr int KING = 12;
constexpr std::array<const char*, 13> RANKS{"A", "2", "3",  "4", "5", "6", "7",
                                            "8", "9", "10", "J", "Q", "K"};
constexpr std::array<const char*, 4> SUITS{"\u2666", "\u2660", "\u2665", "\u2663"};

// Background colours as the terminal shows them.
constexpr int TABLE_BG = 2;
constexpr int BACK_BG = 4;
constexpr int FACE_BG = 7;

// The cursor's two rows and the places in its top row.
constexpr int TOP = 0;
constexpr int TABLEAU = 1;
constexpr int STOCK_COL = 0;
constexpr int WASTE_COL = 1;
constexpr int FIRST_FOUNDATION_COL = 3;

// Past this many keys the game is no longer a short benchmark: the player quits there.
constexpr std::size_t KEY_LIMIT = 600;

struct card {
    int value;
    int suit;
    bool up;
};

std::string name(card c)
{
    return std::string(RANKS[static_cast<std::size_t>(c.value)]) +
           SUITS[static_cast<std::size_t>(c.suit)];
}

// The player's copy of the table, its cursor, and the keys typed so far.
struct player {
    std::vector<card> stock;                       // top card last
    std::vector<card> waste;                       // top card last
    std::array<std::vector<card>, 4> foundations;  // bottom card first
    std::array<std::vector<card>, 7> tableau;      // bottom card first
    int passes_left = 3;
    int row = TOP;
    int col = STOCK_COL;
    int walks = 0;       // cursor walks so far; every third goes by the arrow keys
    int selections = 0;  // selections widened so far; each is widened another way
    int actions = 0;
    std::vector<keystroke> keys;
};

std::string place_name(int row, int col)
{
    if (row == TABLEAU) return "pile " + std::to_string(col + 1);
    if (col == STOCK_COL) return "the stock";
    if (col == WASTE_COL) return "the waste pile";
    if (col < FIRST_FOUNDATION_COL) return "the gap";
    return "foundation " + std::to_string(col - FIRST_FOUNDATION_COL + 1);
}

std::vector<card>& pile_at(player& p, int row, int col)
{
    if (row == TABLEAU) return p.tableau[static_cast<std::size_t>(col)];
    if (col == STOCK_COL) return p.stock;
    if (col == WASTE_COL) return p.waste;
    return p.foundations[static_cast<std::size_t>(col - FIRST_FOUNDATION_COL)];
}

bool red(card c)
{
    return c.suit % 2 == 0;
}

bool fits_foundation(card c, const std::vector<card>& foundation)
{
    if (foundation.empty()) return c.value == ACE;
    return foundation.back().suit == c.suit && foundation.back().value + 1 == c.value;
}

bool fits_tableau(card c, const std::vector<card>& pile)
{
    if (pile.empty()) return c.value == KING;
    const card top = pile.back();
    return top.up && red(top) != red(c) && c.value + 1 == top.value;
}

// The first foundation that takes the card, as the game tries them, or -1.
int foundation_for(const player& p, card c)
{
    for (int f = 0; f < 4; ++f)
        if (fits_foundation(c, p.foundations[static_cast<std::size_t>(f)])) return f;
    return -1;
}

// Index of the lowest face-up card of a tableau pile; its size when none is face up.
std::size_t lowest_up(const std::vector<card>& pile)
{
    std::size_t i = pile.size();
    while (i > 0 && pile[i - 1].up) --i;
    return i;
}

bool won(const player& p)
{
    for (const auto& pile : p.tableau)
        for (const card c : pile)
            if (!c.up) return false;
    return p.stock.empty() && p.waste.empty();
}

// The top of every pile as the screen must show it.
std::vector<expected_cell> table_of(const player& p)
{
    std::vector<expected_cell> cells;
    const auto top_of = [&](const std::vector<card>& pile, int row, int col) {
        if (pile.empty())
            cells.push_back({row, col, "\u250c", TABLE_BG});
        else if (pile.back().up)
            cells.push_back({row, col, name(pile.back()), FACE_BG});
        else
            cells.push_back({row, col, "\u250c", BACK_BG});
    };
    top_of(p.stock, 1, 1);
    if (p.stock.empty()) cells.push_back({3, 4, p.passes_left > 0 ? "O" : "X", TABLE_BG});
    top_of(p.waste, 1, 9);
    for (int f = 0; f < 4; ++f) top_of(p.foundations[static_cast<std::size_t>(f)], 1, 25 + 8 * f);
    for (int i = 0; i < 7; ++i) {
        const auto& pile = p.tableau[static_cast<std::size_t>(i)];
        const int rows_down = pile.empty() ? 0 : static_cast<int>(pile.size()) - 1;
        top_of(pile, 9 + rows_down, 1 + 8 * i);
    }
    return cells;
}

void press(player& p, std::string bytes, std::string kind, std::string note)
{
    keystroke k;
    k.label = bytes == " " ? "space" : bytes;
    k.bytes = std::move(bytes);
    k.kind = std::move(kind);
    k.note = std::move(note);
    p.keys.push_back(std::move(k));
}

void press_named(player& p, key named, std::string label, std::string kind, std::string note)
{
    keystroke k;
    k.named = named;
    k.label = std::move(label);
    k.kind = std::move(kind);
    k.note = std::move(note);
    p.keys.push_back(std::move(k));
}

// Marks the end of a move: the table must now look as the player's copy says.
void done(player& p)
{
    p.keys.back().table = table_of(p);
    ++p.actions;
}

void step(player& p, int direction, bool carrying)
{
    // Letters mostly, and every third walk by the arrow keys, as players mix them.
    static constexpr std::array<const char*, 4> LETTERS{"h", "j", "k", "l"};
    static constexpr std::array<key, 4> ARROWS{key::left, key::down, key::up, key::right};
    static constexpr std::array<const char*, 4> ARROW_LABELS{"Left", "Down", "Up", "Right"};
    const std::string kind = carrying ? "carry" : "cursor";
    const std::string note = "to " + place_name(p.row, p.col);
    const auto d = static_cast<std::size_t>(direction);
    if (p.walks % 3 == 2)
        press_named(p, ARROWS[d], ARROW_LABELS[d], kind, note);
    else
        press(p, LETTERS[d], kind, note);
}

void walk(player& p, int row, int col, bool carrying = false)
{
    constexpr int LEFT = 0;
    constexpr int DOWN = 1;
    constexpr int UP = 2;
    constexpr int RIGHT = 3;
    const bool moves = p.row != row || p.col != col;
    // The top row is crossed before going down and after coming up, so that the path
    // never depends on the heights of the piles in between.
    if (p.row == TABLEAU && row == TOP) {
        p.row = TOP;
        step(p, UP, carrying);
    }
    while (p.col != col) {
        const int direction = p.col < col ? RIGHT : LEFT;
        p.col += p.col < col ? 1 : -1;
        step(p, direction, carrying);
    }
    if (p.row == TOP && row == TABLEAU) {
        p.row = TABLEAU;
        step(p, DOWN, carrying);
    }
    if (moves) ++p.walks;
}

void turn(player& p)
{
    walk(p, TOP, STOCK_COL);
    if (!p.stock.empty()) {
        card c = p.stock.back();
        p.stock.pop_back();
        c.up = true;
        p.waste.push_back(c);
        if (p.stock.empty()) --p.passes_left;
        press(p, " ", "turn", "turns " + name(c) + " onto the waste pile");
    } else {
        while (!p.waste.empty()) {
            card c = p.waste.back();
            p.waste.pop_back();
            c.up = false;
            p.stock.push_back(c);
        }
        press(p, " ", "recycle", "turns the waste pile back into the stock");
    }
    done(p);
}

void expose(player& p, int pile)
{
    walk(p, TABLEAU, pile);
    card& c = p.tableau[static_cast<std::size_t>(pile)].back();
    c.up = true;
    press(p, " ", "expose", "turns " + name(c) + " face up");
    done(p);
}

// A move may leave a covered card on top of its origin: the player turns it at once.
void expose_after(player& p, int row, int col)
{
    if (row != TABLEAU) return;
    const auto& pile = p.tableau[static_cast<std::size_t>(col)];
    if (!pile.empty() && !pile.back().up) expose(p, col);
}

void pick(player& p, int row, int col)
{
    walk(p, row, col);
    press(p, " ", "pick", "picks up " + name(pile_at(p, row, col).back()));
}

// Widens the selection just picked up on tableau pile col to count cards, one of the
// ways a player might, so that every selection key is typed in the game.
void select(player& p, int col, std::size_t count)
{
    const auto& pile = p.tableau[static_cast<std::size_t>(col)];
    const std::size_t run = pile.size() - lowest_up(pile);
    const auto selected = [&](std::size_t n) {
        return "selects " + std::to_string(n) + (n == 1 ? " card" : " cards");
    };
    if (count == 1) {
        if (run >= 2 && p.selections++ % 2 == 0) {
            press(p, "M", "select", selected(run));
            press(p, "N", "select", selected(1));
        }
        return;
    }
    const int way = p.selections++ % 3;
    if (way == 1 && count == run) {
        press(p, "M", "select", selected(run));
    } else if (way == 2 && count + 1 >= run && run >= 3) {
        press(p, "M", "select", selected(run));
        press(p, "n", "select", selected(run - 1));
        if (count == run) press(p, "m", "select", selected(run));
    } else if (way == 2 && count < run) {
        press(p, "M", "select", selected(run));
        for (std::size_t n = run - 1; n >= count; --n) press(p, "n", "select", selected(n));
    } else {
        for (std::size_t n = 2; n <= count; ++n) press(p, "m", "select", selected(n));
    }
}

// The space bar over the pile the card came from sends it to the first foundation
// that takes it.
void to_foundation(player& p, int row, int col)
{
    std::vector<card>& origin = pile_at(p, row, col);
    const card c = origin.back();
    const int f = foundation_for(p, c);
    pick(p, row, col);
    if (row == TABLEAU) select(p, col, 1);
    origin.pop_back();
    p.foundations[static_cast<std::size_t>(f)].push_back(c);
    press(p, " ", "to foundation", "sends " + name(c) + " to foundation " + std::to_string(f + 1));
    done(p);
    expose_after(p, row, col);
}

// The waste pile's top card carried to its foundation by hand.
void carry_to_foundation(player& p)
{
    const card c = p.waste.back();
    const int f = foundation_for(p, c);
    pick(p, TOP, WASTE_COL);
    walk(p, TOP, FIRST_FOUNDATION_COL + f, true);
    p.waste.pop_back();
    p.foundations[static_cast<std::size_t>(f)].push_back(c);
    press(p, " ", "place", "puts " + name(c) + " on foundation " + std::to_string(f + 1));
    done(p);
}

// The top count cards of one pile carried onto tableau pile to.
void carry(player& p, int row, int col, std::size_t count, int to)
{
    std::vector<card>& origin = pile_at(p, row, col);
    std::vector<card>& destination = p.tableau[static_cast<std::size_t>(to)];
    const card lowest = origin[origin.size() - count];
    const std::string onto = destination.empty()
                                 ? "empty " + place_name(TABLEAU, to)
                                 : name(destination.back()) + " on " + place_name(TABLEAU, to);
    pick(p, row, col);
    if (row == TABLEAU) select(p, col, count);
    walk(p, TABLEAU, to, true);
    destination.insert(destination.end(), origin.end() - static_cast<std::ptrdiff_t>(count),
                       origin.end());
    origin.resize(origin.size() - count);
    const std::string what =
        count == 1 ? name(lowest) : std::to_string(count) + " cards from " + name(lowest);
    press(p, " ", "place", "puts " + what + " on " + onto);
    done(p);
    expose_after(p, row, col);
}

bool any_to_foundation(player& p)
{
    for (int i = 0; i < 7; ++i) {
        const auto& pile = p.tableau[static_cast<std::size_t>(i)];
        if (!pile.empty() && foundation_for(p, pile.back()) >= 0) {
            to_foundation(p, TABLEAU, i);
            return true;
        }
    }
    if (!p.waste.empty() && foundation_for(p, p.waste.back()) >= 0) {
        if (p.actions % 2 == 0)
            to_foundation(p, TOP, WASTE_COL);
        else
            carry_to_foundation(p);
        return true;
    }
    return false;
}

// The pile that takes a card, a pile with cards first, or -1.
int tableau_for(const player& p, card c, int besides)
{
    int empty = -1;
    for (int j = 0; j < 7; ++j) {
        const auto& pile = p.tableau[static_cast<std::size_t>(j)];
        if (j == besides || !fits_tableau(c, pile)) continue;
        if (!pile.empty()) return j;
        if (empty < 0) empty = j;
    }
    return empty;
}

// A whole face-up run moved to another pile, when that turns a covered card up or
// empties a pile for a king; the run with the most covered cards beneath it first.
bool any_run_move(player& p)
{
    int best = -1;
    int best_to = -1;
    std::size_t best_covered = 0;
    for (int i = 0; i < 7; ++i) {
        const auto& pile = p.tableau[static_cast<std::size_t>(i)];
        const std::size_t b = lowest_up(pile);
        if (b == pile.size()) continue;
        if (b == 0 && pile[0].value == KING) continue;
        const int to = tableau_for(p, pile[b], i);
        if (to < 0) continue;
        if (p.tableau[static_cast<std::size_t>(to)].empty() && b == 0) continue;
        if (best < 0 || b > best_covered) {
            best = i;
            best_to = to;
            best_covered = b;
        }
    }
    if (best < 0) return false;
    const auto& pile = p.tableau[static_cast<std::size_t>(best)];
    carry(p, TABLEAU, best, pile.size() - best_covered, best_to);
    return true;
}

// Part of a run moved away so that the card beneath it can go to its foundation.
bool any_split(player& p)
{
    for (int i = 0; i < 7; ++i) {
        const auto& pile = p.tableau[static_cast<std::size_t>(i)];
        const std::size_t b = lowest_up(pile);
        for (std::size_t s = b + 1; s < pile.size(); ++s) {
            if (foundation_for(p, pile[s - 1]) < 0) continue;
            const int to = tableau_for(p, pile[s], i);
            if (to < 0) continue;
            carry(p, TABLEAU, i, pile.size() - s, to);
            return true;
        }
    }
    return false;
}

bool waste_to_tableau(player& p)
{
    if (p.waste.empty()) return false;
    const int to = tableau_for(p, p.waste.back(), -1);
    if (to < 0) return false;
    carry(p, TOP, WASTE_COL, 1, to);
    return true;
}

// A player changing their mind: the selection carried two piles away and dropped.
void drop_elsewhere(player& p)
{
    const int from = p.row == TABLEAU ? p.col : 0;
    const int to = from < 5 ? from + 2 : from - 2;
    if (p.tableau[static_cast<std::size_t>(from)].empty()) return;
    pick(p, TABLEAU, from);
    walk(p, TABLEAU, to, true);
    press_named(p, key::escape, "Esc", "escape", "drops the selection over another pile");
    done(p);
}

// A selection widened and dropped where it was picked up.
void drop_in_place(player& p)
{
    for (int i = 0; i < 7; ++i) {
        const auto& pile = p.tableau[static_cast<std::size_t>(i)];
        if (pile.size() - lowest_up(pile) < 2) continue;
        pick(p, TABLEAU, i);
        press(p, "m", "select", "selects 2 cards");
        press_named(p, key::escape, "Esc", "escape", "drops the selection on its own pile");
        done(p);
        return;
    }
}

// A card offered to a pile that does not take it.
void refused(player& p)
{
    for (int i = 0; i < 7; ++i) {
        const auto& pile = p.tableau[static_cast<std::size_t>(i)];
        if (pile.empty()) continue;
        for (int j = 0; j < 7; ++j) {
            const auto& other = p.tableau[static_cast<std::size_t>(j)];
            if (j == i || other.empty() || fits_tableau(pile.back(), other)) continue;
            pick(p, TABLEAU, i);
            walk(p, TABLEAU, j, true);
            press(p, " ", "refused",
                  name(pile.back()) + " does not go on " + name(other.back()) + ": dropped");
            done(p);
            return;
        }
    }
}

void resize(player& p, int rows, int cols, std::string note, bool shows_table)
{
    keystroke k;
    k.rows = rows;
    k.cols = cols;
    k.label = "resize";
    k.kind = "resize";
    k.note = std::to_string(cols) + "x" + std::to_string(rows) + ": " + std::move(note);
    p.keys.push_back(std::move(k));
    if (shows_table) done(p);
}

// The moments of the game at which a player does something besides playing.
void interlude(player& p)
{
    switch (p.actions) {
    case 5:
        drop_elsewhere(p);
        break;
    case 9:
        refused(p);
        break;
    case 14:
        drop_in_place(p);
        break;
    case 30:
        resize(p, 34, 90, "the table drawn again", true);
        break;
    case 45:
        resize(p, 24, 56, "too small, the size message", false);
        resize(p, 30, 80, "the table drawn again", true);
        break;
    default:
        break;
    }
}

}  // namespace

std::vector<keystroke> plan_game(long long time)
{
    const predicted_deal deal = predict_deal(static_cast<unsigned>(time));
    player p;
    for (std::size_t i = 0; i < 7; ++i) {
        for (const dealt_card c : deal.tableau[i]) p.tableau[i].push_back({c.value, c.suit, false});
        p.tableau[i].back().up = true;
    }
    // The deal lists the stock from its top card down; the player keeps the top last.
    for (const dealt_card c : deal.stock) p.stock.insert(p.stock.begin(), {c.value, c.suit, false});

    press(p, " ", "deal", "deals the game from the greeting");
    done(p);
    while (p.keys.size() < KEY_LIMIT && !won(p)) {
        const int before = p.actions;
        interlude(p);
        if (p.actions != before) continue;
        if (any_to_foundation(p) || any_run_move(p) || any_split(p) || waste_to_tableau(p))
            continue;
        if (!p.stock.empty() || (p.passes_left > 0 && !p.waste.empty())) {
            turn(p);
            continue;
        }
        break;
    }
    if (won(p)) {
        // The game ends on its own after this key and prints its message: the table
        // is gone from the screen.
        p.keys.back().kind = "win";
        p.keys.back().note += ", which wins the game";
        p.keys.back().table.clear();
    } else {
        press(p, "q", "quit", "quits");
    }
    return p.keys;
}

const std::vector<keystroke>& scripted_game()
{
    static const std::vector<keystroke> keys = plan_game(SCRIPT_TIME);
    return keys;
}

void type(terminal& t, const keystroke& k)
{
    if (k.rows != 0)
        t.resize(k.rows, k.cols);
    else if (k.named)
        t.press(*k.named);
    else
        t.send(k.bytes);
}

bool wait_handled(terminal& t, const keystroke& k, milliseconds limit)
{
    if (k.rows != 0) {
        // The change of size reaches the game as a signal, not as input that can be
        // seen waiting: its redrawing is what tells that it has been handled.
        const std::size_t before = t.output().size();
        const auto grown = [&](const terminal& s) { return s.output().size() > before; };
        if (!t.wait_for(grown, limit)) return false;
    }
    return t.wait_idle(limit);
}

std::string table_mismatch(const terminal& t, const keystroke& k)
{
    std::ostringstream report;
    for (const expected_cell& e : k.table) {
        int cells = 0;
        for (const char ch : e.text)
            if ((static_cast<unsigned char>(ch) & 0xC0) != 0x80) ++cells;
        const std::string shown = t.text(e.row, e.col, cells);
        const int bg = t.cell(e.row, e.col).bg;
        if (shown != e.text || bg != e.bg)
            report << "(" << e.row << "," << e.col << ") shows '" << shown << "' on " << bg
                   << ", expected '" << e.text << "' on " << e.bg << "\n";
    }
    return report.str();
}
