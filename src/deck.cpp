#include "deck.hpp"

#include <cerrno>
#include <new>

#include "main.hpp"

namespace {

// The deck's pile variables in field order.
std::array<stack**, 2 + FOUNDATION_COUNT + TABLEAU_COUNT> piles(struct deck* d)
{
    return {&d->stock,         &d->waste_pile,    &d->foundation[0], &d->foundation[1],
            &d->foundation[2], &d->foundation[3], &d->tableau[0],    &d->tableau[1],
            &d->tableau[2],    &d->tableau[3],    &d->tableau[4],    &d->tableau[5],
            &d->tableau[6]};
}

}  // namespace

void deck_alloc(struct deck** d)
{
    *d = new (std::nothrow) deck;
    if (*d == nullptr) fatal_error(errno, "src/deck", __LINE__);
    for (stack** pile : piles(*d)) stack_alloc(pile);
}

void deck_init(struct deck* d)
{
    for (stack** pile : piles(d)) stack_init(*pile);
}

void deck_free(struct deck* d)
{
    for (stack** pile : piles(d)) stack_free(*pile);
    delete d;
}
