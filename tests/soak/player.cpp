#include "player.hpp"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <ostream>
#include <ranges>
#include <set>
#include <sstream>
#include <string_view>
#include <utility>

#include <curses.h>
#include <gtest/gtest.h>

#include "keyboard.hpp"

// ---- The deal's clock ----

namespace {

std::time_t deal_second = 0;

}  // namespace

// The deal shuffles by the second the clock shows. Wherever the player plays, the clock
// shows a second the player drew, so that a run's deals follow from its seed.
extern "C" std::time_t time(std::time_t* out) noexcept
{
    if (out != nullptr) *out = deal_second;
    return deal_second;
}

// ---- Reading the table ----

namespace {

constexpr std::array<const char*, 13> rank_labels{"A", "2", "3",  "4", "5", "6", "7",
                                                  "8", "9", "10", "J", "Q", "K"};
constexpr std::array<char, 4> suit_letters{'d', 's', 'h', 'c'};

struct place {
    int y;
    int x;
};

bool is_placeholder(const card_view& c)
{
    return c.value == NO_VALUE && c.suit == NO_SUIT && c.face == NO_FACE;
}

bool is_card(const card_view& c)
{
    return c.value >= ACE && c.value <= KING && c.suit >= DIAMONDS && c.suit <= CLUBS &&
           (c.face == COVERED || c.face == EXPOSED);
}

int length(const std::vector<card_view>& pile)
{
    return static_cast<int>(std::count_if(pile.begin(), pile.end(), is_card));
}

// Where a card rests when height cards of its pile lie beneath it.
place resting_place(int pile, int height)
{
    if (pile == STOCK_PILE) return {1, 1};
    if (pile == WASTE_PILE) return {1, 9};
    if (pile < FIRST_TABLEAU_PILE) return {1, 25 + 8 * (pile - FIRST_FOUNDATION_PILE)};
    return {9 + height, 1 + 8 * (pile - FIRST_TABLEAU_PILE)};
}

bool known_by_place(int pile, const stack* top)
{
    if (pile == STOCK_PILE) return stock_stack(top);
    if (pile == WASTE_PILE) return waste_pile_stack(top);
    if (pile < FIRST_TABLEAU_PILE) return foundation_stack(top);
    return tableau_stack(top);
}

std::string pile_name(int pile)
{
    if (pile == STOCK_PILE) return "stock";
    if (pile == WASTE_PILE) return "waste pile";
    if (pile < FIRST_TABLEAU_PILE)
        return "foundation " + std::to_string(pile - FIRST_FOUNDATION_PILE);
    return "tableau " + std::to_string(pile - FIRST_TABLEAU_PILE);
}

std::string card_name(const card_view& c)
{
    if (is_placeholder(c)) return "()";
    if (!is_card(c)) {
        return "<" + std::to_string(c.value) + "," + std::to_string(c.suit) + "," +
               std::to_string(c.face) + ">";
    }
    const std::string name = rank_labels[c.value] + std::string(1, suit_letters[c.suit]);
    return c.face == COVERED ? "[" + name + "]" : name;
}

}  // namespace

table_view look()
{
    const std::array<const stack*, PILE_COUNT> piles{
        deck->stock,         deck->waste_pile,    deck->foundation[0], deck->foundation[1],
        deck->foundation[2], deck->foundation[3], deck->tableau[0],    deck->tableau[1],
        deck->tableau[2],    deck->tableau[3],    deck->tableau[4],    deck->tableau[5],
        deck->tableau[6]};
    table_view t;
    for (int p = 0; p < PILE_COUNT; ++p) {
        for (const stack* node = piles[p]; node != nullptr; node = node->next) {
            const card* c = node->card;
            t.piles[p].push_back(
                {c->value, c->suit, c->face, c->frame->begin_y, c->frame->begin_x});
        }
        t.known_by_place[p] = piles[p] != nullptr && known_by_place(p, piles[p]);
    }
    t.passes_left = game.passes_left;
    t.cursor_x = cursor->x;
    t.cursor_y = cursor->y;
    t.carrying = cursor->marked;
    return t;
}

namespace {

// Every card once, every pile at its place and each card of it resting where it belongs.
void check_places(std::ostream& fault, const table_view& t)
{
    std::set<std::pair<int, int>> seen;
    for (int p = 0; p < PILE_COUNT; ++p) {
        const std::vector<card_view>& pile = t.piles[p];
        const std::string name = pile_name(p);
        if (pile.empty()) fault << name << " has no node\n";
        if (!t.known_by_place[p]) fault << name << " is not recognised at its place\n";
        for (std::size_t i = 0; i < pile.size(); ++i) {
            const card_view& c = pile[i];
            const place rest = resting_place(p, static_cast<int>(pile.size() - 1 - i));
            if (c.y != rest.y || c.x != rest.x) {
                fault << name << ": " << card_name(c) << " at row " << c.y << ", column " << c.x
                      << " instead of " << rest.y << ", " << rest.x << "\n";
            }
            if (is_placeholder(c)) {
                if (pile.size() != 1) fault << name << ": a placeholder among cards\n";
            } else if (!is_card(c)) {
                fault << name << ": no such card " << card_name(c) << "\n";
            } else if (!seen.insert({c.value, c.suit}).second) {
                fault << card_name(c) << " lies twice\n";
            }
        }
    }
    if (seen.size() != CARD_COUNT) fault << seen.size() << " different cards on the table\n";
}

// The stock face down, the waste pile and the foundations face up, each foundation built
// up by suit from the ace.
void check_top_row(std::ostream& fault, const table_view& t)
{
    for (int p = STOCK_PILE; p < FIRST_TABLEAU_PILE; ++p) {
        const std::vector<card_view>& pile = t.piles[p];
        const int face = p == STOCK_PILE ? COVERED : EXPOSED;
        for (std::size_t i = 0; i < pile.size(); ++i) {
            const card_view& c = pile[i];
            if (!is_card(c)) continue;
            if (c.face != face) fault << pile_name(p) << ": " << card_name(c) << " turned wrong\n";
            if (p < FIRST_FOUNDATION_PILE) continue;
            const card_view* beneath = i + 1 < pile.size() ? &pile[i + 1] : nullptr;
            const bool follows = beneath == nullptr
                                     ? c.value == ACE
                                     : c.suit == beneath->suit && c.value == beneath->value + 1;
            if (!follows) {
                fault << pile_name(p) << ": " << card_name(c) << " on "
                      << (beneath == nullptr ? "the empty place" : card_name(*beneath)) << "\n";
            }
        }
    }
}

// Face-down cards only beneath face-up ones, and face-up cards built down in alternating
// colours.
void check_tableau(std::ostream& fault, const table_view& t)
{
    for (int p = FIRST_TABLEAU_PILE; p < PILE_COUNT; ++p) {
        const std::vector<card_view>& pile = t.piles[p];
        bool face_down_above = false;
        for (std::size_t i = 0; i < pile.size(); ++i) {
            const card_view& c = pile[i];
            if (!is_card(c)) continue;
            if (c.face == COVERED) face_down_above = true;
            if (c.face == EXPOSED && face_down_above)
                fault << pile_name(p) << ": " << card_name(c) << " under a face-down card\n";
            const card_view* beneath = i + 1 < pile.size() ? &pile[i + 1] : nullptr;
            if (c.face == EXPOSED && beneath != nullptr && beneath->face == EXPOSED &&
                (c.value + 1 != beneath->value || (c.suit + beneath->suit) % 2 == 0)) {
                fault << pile_name(p) << ": " << card_name(c) << " on " << card_name(*beneath)
                      << "\n";
            }
        }
    }
}

// The cursor unmarked under one of its fourteen places: along the top row, or in the
// tableau row no higher than six rows below its pile's top card.
void check_cursor(std::ostream& fault, const table_view& t)
{
    const int column = (t.cursor_x - 4) / 8;
    if (t.cursor_x < 4 || (t.cursor_x - 4) % 8 != 0 || column >= TABLEAU_COUNT) {
        fault << "the cursor stands in column " << t.cursor_x << "\n";
    } else if (const std::vector<card_view>& under = t.piles[FIRST_TABLEAU_PILE + column];
               t.cursor_y != 7 && !under.empty() && t.cursor_y < under.front().y + 6) {
        fault << "the cursor stands at row " << t.cursor_y << " over "
              << pile_name(FIRST_TABLEAU_PILE + column) << "\n";
    }
    if (t.carrying) fault << "the cursor still carries a selection\n";
}

}  // namespace

std::string table_fault(const table_view& now, const table_view& before)
{
    std::ostringstream fault;
    check_places(fault, now);
    check_top_row(fault, now);
    check_tableau(fault, now);
    check_cursor(fault, now);
    if (now.passes_left > before.passes_left)
        fault << "passes left rose from " << before.passes_left << " to " << now.passes_left
              << "\n";
    if (before.passes_left <= 0 && length(now.piles[STOCK_PILE]) > length(before.piles[STOCK_PILE]))
        fault << "the waste pile went back to the stock with no pass left\n";
    return fault.str();
}

std::string table_text(const table_view& t)
{
    std::ostringstream text;
    for (int p = 0; p < PILE_COUNT; ++p) {
        text << pile_name(p) << ":";
        for (const card_view& c : t.piles[p] | std::views::reverse) text << ' ' << card_name(c);
        text << "\n";
    }
    text << "cursor at row " << t.cursor_y << ", column " << t.cursor_x
         << (t.carrying ? ", carrying" : "") << "; passes left " << t.passes_left << "\n";
    return text.str();
}

// ---- Games ----

unsigned run_seed()
{
    // A run that gates a build gives the same outcome every time; other seeds are asked
    // for by name, and the one drawn is printed so that a failure can be replayed.
    constexpr unsigned FIXED_SEED = 1;
    const char* text = std::getenv("QUORVEL_SOAK_SEED");
    unsigned seed = FIXED_SEED;
    if (text != nullptr && std::string_view(text) == "random")
        seed = std::random_device{}();
    else if (text != nullptr && *text != '\0')
        seed = static_cast<unsigned>(std::strtoul(text, nullptr, 10));
    std::printf("soak: QUORVEL_SOAK_SEED=%u\n", seed);
    return seed;
}

int pick(std::mt19937& random, std::size_t n)
{
    return std::uniform_int_distribution<int>(0, static_cast<int>(n) - 1)(random);
}

void deal(std::mt19937& random)
{
    // Mostly the usual three passes; also one, none, negative and practically endless.
    constexpr std::array<int, 8> passes{3, 3, 3, 1, 0, -2, INT_MIN, 1000};
    deal_second = static_cast<std::time_t>(random());
    game_init(&game, passes[pick(random, passes.size())], pick(random, 2));
}

void end_game()
{
    game_end();
    deck = nullptr;
    cursor = nullptr;
    game = {};
}

// ---- Turns ----

namespace {

constexpr int ESCAPE = 27;
// Closes the keys of a turn in the queue; the game gives it no meaning, and the
// selection loop never reads it, since escape comes before it.
constexpr int END_OF_TURN = KEY_MAX;
// Curses holds back a little over a hundred keys and gives none back once it is full.
constexpr std::size_t MAX_TURN_KEYS = 100;

// The cursor's fourteen places: 0 to 6 along the top row (stock, waste pile, gap,
// foundations), 7 to 13 under the tableau piles.
constexpr int TOP_PLACES = 7;

bool one_in(std::mt19937& random, int n)
{
    return pick(random, n) == 0;
}

// The place under which a pile lies: past the gap, every pile is one place further on.
int place_of(int pile)
{
    return pile < FIRST_FOUNDATION_PILE ? pile : pile + 1;
}

int cursor_place(const table_view& t)
{
    const int column = (t.cursor_x - 4) / 8;
    return t.cursor_y == 7 ? column : TOP_PLACES + column;
}

// Movement keys from one place to another, letters and arrows mixed.
void go(std::vector<int>& keys, std::mt19937& random, int from, int to)
{
    const auto press = [&](int letter, int arrow) {
        keys.push_back(one_in(random, 2) ? letter : arrow);
    };
    if (from >= TOP_PLACES && to < TOP_PLACES) press('k', KEY_UP);
    for (int i = from % TOP_PLACES; i < to % TOP_PLACES; ++i) press('l', KEY_RIGHT);
    for (int i = from % TOP_PLACES; i > to % TOP_PLACES; --i) press('h', KEY_LEFT);
    if (from < TOP_PLACES && to >= TOP_PLACES) press('j', KEY_DOWN);
}

// Face-up cards on top of a pile.
int face_up_run(const std::vector<card_view>& pile)
{
    int run = 0;
    while (run < static_cast<int>(pile.size()) && is_card(pile[run]) && pile[run].face == EXPOSED)
        ++run;
    return run;
}

// Whether c may go onto pile, by the rules as a player knows them.
bool fits(const card_view& c, const std::vector<card_view>& pile, bool foundation)
{
    const card_view& top = pile.front();
    if (!is_card(top)) return c.value == (foundation ? ACE : KING);
    if (foundation) return c.suit == top.suit && c.value == top.value + 1;
    return top.face == EXPOSED && (c.suit + top.suit) % 2 != 0 && c.value + 1 == top.value;
}

// A move a player might see: count cards from one pile onto another.
struct aim {
    int from;
    int count;
    int to;
};

// The moves the table offers: forward ones bring the game nearer its end (a card to a
// foundation or off the waste pile, a face-down card set free); the others only shift
// cards about, and are made now and then so that every way of moving is played.
struct aims {
    std::vector<aim> forward;
    std::vector<aim> sideways;
};

aims aims_on(const table_view& t)
{
    aims found;
    for (int from = WASTE_PILE; from < PILE_COUNT; ++from) {
        const std::vector<card_view>& origin = t.piles[from];
        const int run = face_up_run(origin);
        const int most = from < FIRST_TABLEAU_PILE ? std::min(run, 1) : run;
        for (int count = 1; count <= most; ++count) {
            for (int to = FIRST_FOUNDATION_PILE; to < PILE_COUNT; ++to) {
                const bool foundation = to < FIRST_TABLEAU_PILE;
                if (to == from || (count > 1 && foundation) ||
                    !fits(origin[count - 1], t.piles[to], foundation))
                    continue;
                const bool tableau_origin = from >= FIRST_TABLEAU_PILE;
                const bool forward =
                    from == WASTE_PILE || (foundation && tableau_origin) ||
                    (!foundation && tableau_origin && count == run && run < length(origin));
                (forward ? found.forward : found.sideways).push_back({from, count, to});
            }
        }
    }
    return found;
}

// Widens a selection of the top card to count cards of a face-up run, one of three ways.
void widen(std::vector<int>& keys, std::mt19937& random, int count, int run)
{
    switch (pick(random, 3)) {
    case 0:
        keys.insert(keys.end(), count - 1, 'm');
        return;
    case 1:
        keys.push_back('M');
        keys.insert(keys.end(), run - count, 'n');
        return;
    default:
        keys.push_back('M');
        keys.push_back('N');
        keys.insert(keys.end(), count - 1, 'm');
        return;
    }
}

// What a player might do next: turn up a face-down card, make a move the table offers,
// or turn the stock.
std::vector<int> aimed_turn(std::mt19937& random, const table_view& t)
{
    std::vector<int> keys;
    const int here = cursor_place(t);
    for (int p = FIRST_TABLEAU_PILE; p < PILE_COUNT; ++p) {
        if (t.piles[p].front().face == COVERED) {
            go(keys, random, here, place_of(p));
            keys.push_back(SPACE);
            return keys;
        }
    }
    const aims found = aims_on(t);
    const bool forward = !found.forward.empty() && !one_in(random, 8);
    if (!forward && (found.sideways.empty() || !one_in(random, 3))) {
        go(keys, random, here, place_of(STOCK_PILE));
        keys.push_back(SPACE);
        return keys;
    }
    const std::vector<aim>& choice = forward ? found.forward : found.sideways;
    const aim a = choice[pick(random, choice.size())];
    go(keys, random, here, place_of(a.from));
    keys.push_back(SPACE);
    if (a.from >= FIRST_TABLEAU_PILE) widen(keys, random, a.count, face_up_run(t.piles[a.from]));
    // A single card from the waste pile or the tableau reaches a foundation also by the
    // space bar on its own pile.
    const bool to_foundation = a.to < FIRST_TABLEAU_PILE && a.count == 1 &&
                               (a.from == WASTE_PILE || a.from >= FIRST_TABLEAU_PILE);
    go(keys, random, place_of(a.from),
       place_of(to_foundation && one_in(random, 2) ? a.from : a.to));
    keys.push_back(SPACE);
    return keys;
}

// Keys at random, weighted by repetition towards spaces and movements so that they play
// too, with the selection keys, escape, a redraw and keys that mean nothing.
std::vector<int> random_turn(std::mt19937& random)
{
    constexpr std::array<int, 33> mix{
        SPACE,    SPACE,    SPACE,    SPACE,    SPACE,   SPACE,                             //
        'h',      'h',      'j',      'j',      'k',     'k',        'l',       'l',        //
        KEY_LEFT, KEY_LEFT, KEY_DOWN, KEY_DOWN, KEY_UP,  KEY_UP,     KEY_RIGHT, KEY_RIGHT,  //
        'm',      'M',      'n',      'N',      ESCAPE,  KEY_RESIZE,                        //
        'i',      'H',      'x',      '\n',     KEY_HOME};
    std::vector<int> keys(1 + pick(random, 24));
    for (int& key : keys) key = mix[pick(random, mix.size())];
    return keys;
}

}  // namespace

std::vector<int> next_turn(std::mt19937& random)
{
    std::vector<int> keys = one_in(random, 4) ? random_turn(random) : aimed_turn(random, look());
    keys.push_back(ESCAPE);
    return keys;
}

bool play_turn(const std::vector<int>& keys)
{
    if (keys.size() >= MAX_TURN_KEYS) {
        ADD_FAILURE() << keys.size() << " keys are more than curses holds back";
        return false;
    }
    // Curses gives back the key pushed last first.
    ungetch(END_OF_TURN);
    for (int key : keys | std::views::reverse) ungetch(key);
    bool won = false;
    for (int key = read_key(); key != END_OF_TURN; key = read_key()) {
        if (won) continue;  // the play loop reads no key after the winning one
        handle_key(key);
        won = game_won();
    }
    return won;
}

std::string key_names(const std::vector<int>& keys)
{
    std::string names;
    for (int key : keys) {
        if (!names.empty()) names += ' ';
        switch (key) {
        case SPACE:
            names += "space";
            break;
        case ESCAPE:
            names += "esc";
            break;
        case KEY_LEFT:
            names += "left";
            break;
        case KEY_DOWN:
            names += "down";
            break;
        case KEY_UP:
            names += "up";
            break;
        case KEY_RIGHT:
            names += "right";
            break;
        case KEY_RESIZE:
            names += "resize";
            break;
        default:
            names += key > SPACE && key < 127 ? std::string(1, static_cast<char>(key))
                                              : "#" + std::to_string(key);
        }
    }
    return names;
}
