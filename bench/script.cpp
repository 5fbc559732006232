#include "script.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr std::array<const char*, 13> RANKS{"A", "2", "3",  "4", "5", "6", "7",
                                            "8", "9", "10", "J", "Q", "K"};
constexpr std::array<const char*, 4> SUITS{"\u2666", "\u2660", "\u2665", "\u2663"};

// Background colours as the terminal shows them.
constexpr int TABLE_BG = 2;
constexpr int BACK_BG = 4;
constexpr int FACE_BG = 7;

std::string name(const model_card& c)
{
    return std::string(RANKS[static_cast<std::size_t>(c.card.value)]) +
           SUITS[static_cast<std::size_t>(c.card.suit)];
}

std::string place_name(cursor_place p)
{
    if (!p.top) return "pile " + std::to_string(p.col + 1);
    if (p.col == 0) return "the stock";
    if (p.col == 1) return "the waste pile";
    if (p.col == 2) return "the gap";
    return "foundation " + std::to_string(p.col - 2);
}

std::string cards(int n)
{
    return std::to_string(n) + (n == 1 ? " card" : " cards");
}

// The table as the player knows it, its cursor, and the keys typed so far.
struct player {
    model_table table;
    cursor_place at;
    int walks = 0;               // cursor walks so far; every third goes by the arrow keys
    int singles = 0;             // cards alone picked up from a run, every other one widened
    int runs = 0;                // runs picked up, each widened another way
    int actions = 0;             // moves and interludes so far, each ending in a check of the table
    std::size_t interludes = 0;  // interludes come to so far, done or not
    std::vector<keystroke> keys;
};

void press(player& p, std::string bytes, std::string kind, std::string note)
{
    keystroke k;
    k.label = bytes == " " ? "space" : bytes;
    k.bytes = std::move(bytes);
    k.kind = std::move(kind);
    k.note = std::move(note);
    p.keys.push_back(std::move(k));
}

void press_escape(player& p, std::string note)
{
    keystroke k;
    k.named = key::escape;
    k.label = "Esc";
    k.kind = "escape";
    k.note = std::move(note);
    p.keys.push_back(std::move(k));
}

// Marks the end of an action: the table must now look as the model says.
void done(player& p)
{
    p.keys.back().table = p.table;
    ++p.actions;
}

// What a space bar does, in the order the keys type them.
struct space_bar {
    std::string kind;
    std::string note;
};

// Types keys made from `from` by the model's key emission, one keystroke each, naming
// what each does: the cursor keys where they lead (every third walk by the arrow keys,
// as players mix them), the selection keys how many cards of a run of `run` they hold,
// and the space bars as given.
void type_keys(player& p, cursor_place from, const std::string& keys,
               const std::vector<space_bar>& spaces, int run = 1)
{
    static constexpr std::string_view LETTERS = "hjkl";
    static constexpr std::array<key, 4> ARROWS{key::left, key::down, key::up, key::right};
    static constexpr std::array<const char*, 4> ARROW_LABELS{"Left", "Down", "Up", "Right"};
    std::size_t space = 0;
    int selected = 1;
    bool carrying = false;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const char c = keys[i];
        if (const std::size_t d = LETTERS.find(c); d != std::string_view::npos) {
            from.top = c == 'k' || (c != 'j' && from.top);
            from.col += c == 'h' ? -1 : c == 'l' ? 1 : 0;
            const std::string kind = carrying ? "carry" : "cursor";
            press(p, std::string(1, c), kind, "to " + place_name(from));
            if (p.walks % 3 == 2) {
                p.keys.back().named = ARROWS[d];
                p.keys.back().bytes.clear();
                p.keys.back().label = ARROW_LABELS[d];
            }
            if (i + 1 == keys.size() || LETTERS.find(keys[i + 1]) == std::string_view::npos)
                ++p.walks;
        } else if (c == ' ') {
            const space_bar& s = spaces.at(space++);
            carrying = s.kind == "pick";
            press(p, " ", s.kind, s.note);
        } else {
            selected = c == 'M'   ? run
                       : c == 'N' ? 1
                       : c == 'm' ? std::min(selected + 1, run)
                                  : std::max(selected - 1, 1);
            press(p, std::string(1, c), "select", "selects " + cards(selected));
        }
    }
}

// The keys that pick up the top card of one pile and carry it over another.
std::string carry(player& p, int from, int to)
{
    std::string keys = go(p.at, place_of(from)) + " ";
    return keys + go(p.at, place_of(to));
}

// The keys that select the cards of a move from the top of a run of run just picked up,
// one of the ways a player might, so that every selection key is typed in the game. The
// greedy player moves a card alone or the whole run.
std::string selecting(player& p, int run, int count)
{
    if (count == 1) return run >= 2 && p.singles++ % 2 == 0 ? "MN" : "";
    switch (p.runs++ % 3) {
    case 1:
        return "M";
    case 2:
        return "Mnm";
    default:
        return std::string(static_cast<std::size_t>(count - 1), 'm');
    }
}

void play(player& p, const model_move& m)
{
    const model_table& t = p.table;
    const cursor_place from = p.at;
    const auto& origin = m.kind == move_kind::turn ? t.piles[STOCK] : t.piles[m.from];
    const int run = m.from < WASTE ? face_up_run(origin) : 1;
    std::vector<space_bar> spaces;
    std::string keys;
    if (m.kind == move_kind::turn) {
        spaces.push_back(
            origin.empty()
                ? space_bar{"recycle", "turns the waste pile back into the stock"}
                : space_bar{"turn", "turns " + name(origin.back()) + " onto the waste pile"});
    } else if (m.kind == move_kind::expose) {
        spaces.push_back({"expose", "turns " + name(origin.back()) + " face up"});
    } else {
        const std::string card = name(origin[origin.size() - static_cast<std::size_t>(m.count)]);
        const auto& onto = t.piles[m.to];
        spaces.push_back({"pick", "picks up " + name(origin.back())});
        if (m.to >= FOUNDATION && m.from == WASTE && p.actions % 2 == 1) {
            // Every other card from the waste pile is carried to its foundation by hand.
            keys = carry(p, WASTE, m.to) + " ";
            spaces.push_back({"place", "puts " + card + " on " + place_name(place_of(m.to))});
        } else if (m.to >= FOUNDATION) {
            spaces.push_back(
                {"to foundation", "sends " + card + " to " + place_name(place_of(m.to))});
        } else {
            const std::string what = m.count == 1 ? card : cards(m.count) + " from " + card;
            const std::string where = onto.empty()
                                          ? "empty " + place_name(place_of(m.to))
                                          : name(onto.back()) + " on " + place_name(place_of(m.to));
            spaces.push_back({"place", "puts " + what + " on " + where});
        }
    }
    if (keys.empty())
        keys = m.from < WASTE && m.kind == move_kind::shift
                   ? move_keys(p.at, m, selecting(p, run, m.count))
                   : move_keys(p.at, m);
    type_keys(p, from, keys, spaces, run);
    p.table = model_apply(std::move(p.table), m);
    done(p);
}

// A player changing their mind: the top card carried two piles away and dropped.
void drop_elsewhere(player& p)
{
    const int from = p.at.top ? 0 : p.at.col;
    const int to = from < 5 ? from + 2 : from - 2;
    const auto& pile = p.table.piles[from];
    if (pile.empty()) return;
    const cursor_place start = p.at;
    const std::string keys = carry(p, from, to);
    type_keys(p, start, keys, {{"pick", "picks up " + name(pile.back())}});
    press_escape(p, "drops the selection over another pile");
    done(p);
}

// A selection widened and dropped where it was picked up.
void drop_in_place(player& p)
{
    for (int i = 0; i < 7; ++i) {
        const auto& pile = p.table.piles[i];
        if (face_up_run(pile) < 2) continue;
        const cursor_place start = p.at;
        type_keys(p, start, go(p.at, place_of(i)) + " m",
                  {{"pick", "picks up " + name(pile.back())}}, face_up_run(pile));
        press_escape(p, "drops the selection on its own pile");
        done(p);
        return;
    }
}

// A card offered to a pile that does not take it.
void refused(player& p)
{
    const model_table& t = p.table;
    for (int i = 0; i < 7; ++i) {
        for (int j = 0; j < 7 && !t.piles[i].empty(); ++j) {
            if (j == i || t.piles[j].empty() || takes(t, j, t.piles[i].back().card)) continue;
            const cursor_place start = p.at;
            const std::string keys = carry(p, i, j) + " ";
            const std::string card = name(t.piles[i].back());
            type_keys(
                p, start, keys,
                {{"pick", "picks up " + card},
                 {"refused", card + " does not go on " + name(t.piles[j].back()) + ": dropped"}});
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

// The moments of the game, by actions done, at which a player does something besides
// playing, each once; never while a card waits to be turned face up. True if it did.
bool interlude(player& p)
{
    static constexpr std::array<int, 5> MOMENTS{5, 9, 14, 30, 45};
    if (p.interludes == MOMENTS.size() || p.actions < MOMENTS[p.interludes]) return false;
    const int before = p.actions;
    switch (p.interludes++) {
    case 0:
        drop_elsewhere(p);
        break;
    case 1:
        refused(p);
        break;
    case 2:
        drop_in_place(p);
        break;
    case 3:
        resize(p, 34, 90, "the table drawn again", true);
        break;
    default:
        resize(p, 24, 56, "too small, the size message", false);
        resize(p, 30, 80, "the table drawn again", true);
        break;
    }
    return p.actions != before;
}

std::vector<keystroke> plan_game()
{
    player p{model_deal(SCRIPT_TIME), {}, 0, 0, 0, 0, 0, {}};
    press(p, " ", "deal", "deals the game from the greeting");
    done(p);
    for (std::optional<model_move> m; !model_won(p.table) && (m = greedy_move(p.table));) {
        if (m->kind == move_kind::expose || !interlude(p)) play(p, *m);
    }
    if (model_won(p.table)) {
        // The game ends on its own after this key and prints its message: the table
        // is gone from the screen.
        p.keys.back().kind = "win";
        p.keys.back().note += ", which wins the game";
        p.keys.back().table.reset();
    } else {
        press(p, "q", "quit", "quits");
    }
    return p.keys;
}

}  // namespace

const std::vector<keystroke>& scripted_game()
{
    static const std::vector<keystroke> keys = plan_game();
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
    if (!k.table) return "";
    std::ostringstream report;
    // The top of a pile shows its face, the corner of its back, or the corner of the
    // empty pile's box; the empty stock shows whether a pass through it is left.
    const auto expect = [&](int row, int col, const std::string& text, int bg) {
        int cells = 0;
        for (const char c : text)
            if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++cells;
        const std::string shown = t.text(row, col, cells);
        if (shown != text || t.cell(row, col).bg != bg)
            report << "(" << row << "," << col << ") shows '" << shown << "' on "
                   << t.cell(row, col).bg << ", expected '" << text << "' on " << bg << "\n";
    };
    for (int i = 0; i < 13; ++i) {
        const auto& pile = k.table->piles[i];
        const int row = i < WASTE ? 9 + std::max(static_cast<int>(pile.size()) - 1, 0) : 1;
        const int col = 1 + 8 * place_of(i).col;
        if (pile.empty())
            expect(row, col, "\u250c", TABLE_BG);
        else if (pile.back().up)
            expect(row, col, name(pile.back()), FACE_BG);
        else
            expect(row, col, "\u250c", BACK_BG);
    }
    if (k.table->piles[STOCK].empty()) expect(3, 4, k.table->passes_left > 0 ? "O" : "X", TABLE_BG);
    return report.str();
}
