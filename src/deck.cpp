#include "deck.hpp"

#include <cerrno>
#include <new>

#include "main.hpp"
#include "stack.hpp"

namespace {

// Applies action to the deck's pile variables in field order.
void for_each_pile(struct deck* d, void (*action)(stack** pile))
{
    action(&d->stock);
    action(&d->waste_pile);
    for (stack*& pile : d->foundation) action(&pile);
    for (stack*& pile : d->tableau) action(&pile);
}

}  // namespace

void deck_alloc(struct deck** d)
{
    *d = new (std::nothrow) deck;
    if (*d == nullptr) fatal_error(errno, "src/deck", __LINE__);
    for_each_pile(*d, [](stack** pile) { stack_alloc(pile); });
}

void deck_init(struct deck* d)
{
    for_each_pile(d, [](stack** pile) { stack_init(*pile); });
}

void deck_free(struct deck* d)
{
    for_each_pile(d, [](stack** pile) { stack_free(*pile); });
    delete d;
}
