#pragma once

#include "card.hpp"

// A pile, as a list of nodes from the top card down. A pile is never null and never
// has zero nodes: an empty pile is one node holding a placeholder card, whose frame
// keeps the pile's place so that the next card to arrive knows where to go.
// Functions that may replace the top node take the address of the top pointer.
struct stack {
    struct card* card = nullptr;  // owned
    stack* next = nullptr;        // owned; the card beneath, null at the bottom
};

// Allocates one node with its card and stores it in *s.
void stack_alloc(stack** s);
// Makes a node fresh from stack_alloc an empty pile at row 0, column 0.
void stack_init(stack* s);
// Frees every node from s down, with their cards. Null does nothing.
void stack_free(stack* s);
bool stack_is_empty(const stack* s);
// Covered and exposed cards alike; 0 for an empty pile.
int stack_length(const stack* s);
// Takes ownership of c and puts it on top without moving its frame. Null does nothing.
void stack_push(stack** s, card* c);
// Hands the top card to the caller, or null for an empty pile. The last card leaves a
// placeholder at its own position, so the pile keeps its place.
card* stack_pop(stack** s);
// Copies of the cards, bottom card on top; the caller frees the result.
stack* stack_reverse(const stack* s);
// Copies of the cards in the same order; the caller frees the result.
stack* stack_dup(const stack* s);
