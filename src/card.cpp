#include "card.hpp"

#include <cerrno>
#include <new>

#include "frame.hpp"
#include "main.hpp"

void card_alloc(card** c)
{
    *c = new (std::nothrow) card;
    if (*c == nullptr) fatal_error(errno, "src/card", __LINE__);
    frame_alloc(&(*c)->frame);
}

void card_init(card* c)
{
    frame_init(c->frame);
    c->value = NO_VALUE;
    c->suit = NO_SUIT;
    c->face = NO_FACE;
}

void card_free(card* c)
{
    frame_free(c->frame);
    delete c;
}

void card_set(card* c, int value, int suit, int face, int begin_y, int begin_x)
{
    frame_set(c->frame, begin_y, begin_x);
    c->value = value;
    c->suit = suit;
    c->face = face;
}

card* card_dup(const card* c)
{
    card* copy = nullptr;
    card_alloc(&copy);
    card_set(copy, c->value, c->suit, c->face, c->frame->begin_y, c->frame->begin_x);
    return copy;
}

void card_expose(card* c)
{
    c->face = EXPOSED;
}

void card_cover(card* c)
{
    c->face = COVERED;
}

void card_mark(card* c)
{
    frame_set(c->frame, c->frame->begin_y + 1, c->frame->begin_x);
}

void card_unmark(card* c)
{
    frame_set(c->frame, c->frame->begin_y - 1, c->frame->begin_x);
}
