#include "stack.hpp"

#include <cerrno>
#include <new>

#include "card.hpp"
#include "main.hpp"

void stack_alloc(stack** s)
{
    *s = new (std::nothrow) stack;
    if (*s == nullptr) fatal_error(errno, "src/stack", __LINE__);
    card_alloc(&(*s)->card);
}

void stack_init(stack* s)
{
    card_init(s->card);
    s->next = nullptr;
}

void stack_free(stack* s)
{
    while (s != nullptr) {
        stack* next = s->next;
        card_free(s->card);
        delete s;
        s = next;
    }
}

bool stack_is_empty(const stack* s)
{
    const card* top = s->card;
    return top->value == NO_VALUE && top->suit == NO_SUIT && top->face == NO_FACE &&
           s->next == nullptr;
}

int stack_length(const stack* s)
{
    if (stack_is_empty(s)) return 0;
    int length = 0;
    for (; s != nullptr; s = s->next) ++length;
    return length;
}

void stack_push(stack** s, card* c)
{
    if (c == nullptr) return;
    if (stack_is_empty(*s)) {
        card_free((*s)->card);
        (*s)->card = c;
        return;
    }
    auto* node = new (std::nothrow) stack;
    if (node == nullptr) fatal_error(errno, "src/stack", __LINE__);
    node->card = c;
    node->next = *s;
    *s = node;
}

card* stack_pop(stack** s)
{
    if (stack_is_empty(*s)) return nullptr;
    card* popped = (*s)->card;
    if ((*s)->next == nullptr) {
        // The last card leaves its place to a placeholder, so the pile is still found there.
        card_alloc(&(*s)->card);
        card_set((*s)->card, NO_VALUE, NO_SUIT, NO_FACE, popped->frame->begin_y,
                 popped->frame->begin_x);
        return popped;
    }
    stack* old_top = *s;
    *s = old_top->next;
    delete old_top;
    return popped;
}

stack* stack_reverse(const stack* s)
{
    stack* reversed = nullptr;
    stack_alloc(&reversed);
    stack_init(reversed);
    // The first push replaces the fresh placeholder, so an empty or one-card source gives
    // a one-node copy at the source's own place.
    for (; s != nullptr; s = s->next) stack_push(&reversed, card_dup(s->card));
    return reversed;
}

stack* stack_dup(const stack* s)
{
    stack* copy = nullptr;
    stack* scratch = nullptr;
    stack_alloc(&copy);
    stack_init(copy);
    stack_alloc(&scratch);
    stack_init(scratch);
    for (; s != nullptr; s = s->next) stack_push(&scratch, card_dup(s->card));
    while (!stack_is_empty(scratch)) stack_push(&copy, stack_pop(&scratch));
    stack_free(scratch);
    return copy;
}
