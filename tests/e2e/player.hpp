#pragma once

#include <array>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "deal.hpp"

// A model of the table, a greedy player over it, and the keys that make the game do each
// of its moves. Games are searched for here, by pure computation, and then played through
// the real binary; the model tells what the screen should show on the way.

// The piles by number: the tableau 0 to 6, then these.
inline constexpr int WASTE = 7;
inline constexpr int FOUNDATION = 8;  // the first of four
inline constexpr int STOCK = 12;

struct model_card {
    dealt_card card;
    bool up = false;
};

struct model_table {
    std::array<std::vector<model_card>, 13> piles;  // each from its bottom card up
    int passes_left = 3;
};

inline model_table model_deal(long long second, int passes = 3)
{
    const predicted_deal dealt = predict_deal(static_cast<unsigned>(second));
    model_table t;
    for (int i = 0; i < 7; ++i) {
        for (const dealt_card& c : dealt.tableau[i]) t.piles[i].push_back({c});
        t.piles[i].back().up = true;
    }
    for (const dealt_card& c : dealt.stock) t.piles[STOCK].insert(t.piles[STOCK].begin(), {c});
    t.passes_left = passes;
    return t;
}

// How many face-up cards lie on top of a pile, down to a face-down card or the bottom.
inline int face_up_run(const std::vector<model_card>& pile)
{
    int run = 0;
    while (run < static_cast<int>(pile.size()) && pile[pile.size() - 1 - run].up) ++run;
    return run;
}

inline bool model_won(const model_table& t)
{
    for (int i = 0; i < 7; ++i)
        if (face_up_run(t.piles[i]) < static_cast<int>(t.piles[i].size())) return false;
    return t.piles[STOCK].empty() && t.piles[WASTE].empty();
}

// A foundation takes an ace when empty, else the next card of its suit; a tableau pile
// takes a king when empty, else a card one rank below its face-up top and of the other colour.
inline bool takes(const model_table& t, int pile, dealt_card c)
{
    const auto& p = t.piles[pile];
    const dealt_card top = p.empty() ? dealt_card{} : p.back().card;
    if (pile >= FOUNDATION)
        return p.empty() ? c.value == 0 : top.suit == c.suit && top.value + 1 == c.value;
    if (p.empty()) return c.value == 12;
    return p.back().up && (top.suit + c.suit) % 2 == 1 && c.value + 1 == top.value;
}

enum class move_kind { expose, shift, turn };

struct model_move {
    move_kind kind;
    int from = 0;
    int to = 0;
    int count = 1;  // cards that shift, in their order
};

// The table after a move.
inline model_table model_apply(model_table t, const model_move& m)
{
    auto& from = t.piles[m.from];
    auto& stock = t.piles[STOCK];
    auto& waste = t.piles[WASTE];
    if (m.kind == move_kind::expose) {
        from.back().up = true;
    } else if (m.kind == move_kind::shift) {
        t.piles[m.to].insert(t.piles[m.to].end(), from.end() - m.count, from.end());
        from.erase(from.end() - m.count, from.end());
    } else if (!stock.empty()) {
        waste.push_back({stock.back().card, true});
        stock.pop_back();
        if (stock.empty()) --t.passes_left;
    } else if (t.passes_left > 0) {
        // The waste goes back top first, so the first card turned leads again.
        for (; !waste.empty(); waste.pop_back()) stock.push_back({waste.back().card});
    }
    return t;
}

// Expose, then build the foundations, then move a face-up run that uncovers a card or the
// waste's top card onto the tableau, then turn the stock; nothing when the game is stuck.
inline std::optional<model_move> greedy_move(const model_table& t)
{
    for (int i = 0; i < 7; ++i)
        if (!t.piles[i].empty() && !t.piles[i].back().up) return model_move{move_kind::expose, i};
    for (int from = 0; from <= WASTE; ++from)
        for (int f = FOUNDATION; f < STOCK && !t.piles[from].empty(); ++f)
            if (takes(t, f, t.piles[from].back().card))
                return model_move{move_kind::shift, from, f};
    for (int from = 0; from <= WASTE; ++from) {
        const auto& pile = t.piles[from];
        const int run = from == WASTE ? 1 : face_up_run(pile);
        if (pile.empty() || (run == static_cast<int>(pile.size()) && from != WASTE)) continue;
        for (int to = 0; to < 7; ++to)
            if (to != from && takes(t, to, pile[pile.size() - run].card))
                return model_move{move_kind::shift, from, to, run};
    }
    if (!t.piles[STOCK].empty() || (t.passes_left > 0 && !t.piles[WASTE].empty()))
        return model_move{move_kind::turn};
    return std::nullopt;
}

// A place of the cursor: a column of the top row (0 stock, 1 waste pile, 2 the gap, 3 to 6
// the foundations) or of the tableau row.
struct cursor_place {
    bool top = true;
    int col = 0;
};

inline cursor_place place_of(int pile)
{
    if (pile < WASTE) return {false, pile};
    return {true, pile == STOCK ? 0 : pile == WASTE ? 1 : 3 + pile - FOUNDATION};
}

// The keys that take the cursor from at to a place; at follows. The cursor's row within
// the tableau does not matter: every move sets it afresh.
inline std::string go(cursor_place& at, cursor_place to)
{
    std::string keys = to.top == at.top ? "" : to.top ? "k" : "j";
    keys.append(std::abs(to.col - at.col), to.col < at.col ? 'h' : 'l');
    at = to;
    return keys;
}

// The keys of a move. Unless given the keys that select its cards once the top one is
// picked up, a run is selected whole with one key.
inline std::string move_keys(cursor_place& at, const model_move& m,
                             const std::optional<std::string>& selecting = std::nullopt)
{
    if (m.kind == move_kind::turn) return go(at, place_of(STOCK)) + " ";
    std::string keys = go(at, place_of(m.from)) + " ";
    if (m.kind == move_kind::expose) return keys;
    keys += selecting.value_or(m.count > 1 ? "M" : "");
    // Put back where it was picked up, a card goes to the first foundation that takes it.
    if (m.to >= FOUNDATION) return keys + " ";
    return keys + go(at, place_of(m.to)) + " ";
}

struct model_step {
    model_table before;
    cursor_place at;  // where the cursor stands before the move
    model_move move;
    std::size_t keys_from;  // where the move's keys begin in the game's keys
};

struct model_game {
    long long second = 0;  // the fixed clock that deals it
    std::string keys;      // every key after the deal; if won, the winning key last
    std::vector<model_step> steps;
    bool won = false;
};

inline model_game play_greedy(long long second)
{
    model_game g{second, "", {}, false};
    model_table t = model_deal(second);
    cursor_place at;
    for (std::optional<model_move> m; !(g.won = model_won(t)) && (m = greedy_move(t));) {
        g.steps.push_back({t, at, *m, g.keys.size()});
        g.keys += move_keys(at, *m);
        t = model_apply(std::move(t), *m);
    }
    return g;
}

inline constexpr long long FIRST_SECOND = 1700000000;

// The first greedy game from FIRST_SECOND on that is as wanted, if one of the many seconds
// searched gives one.
inline std::optional<model_game> find_game(const std::function<bool(const model_game&)>& wanted)
{
    for (long long s = FIRST_SECOND; s < FIRST_SECOND + 20000; ++s)
        if (model_game g = play_greedy(s); wanted(g)) return g;
    return std::nullopt;
}

// The first game that the greedy player wins: its second and keys replay it.
inline std::optional<model_game> winning_game()
{
    return find_game([](const model_game& g) { return g.won; });
}
