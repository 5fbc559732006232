#include "frame.hpp"

#include <cerrno>
#include <new>

#include <curses.h>

#include "main.hpp"

void frame_alloc(frame** f)
{
    *f = new (std::nothrow) frame;
    if (*f == nullptr) fatal_error(errno, "src/frame", __LINE__);

    // A window curses cannot create is memory it could not get.
    (*f)->window = newwin(FRAME_HEIGHT, FRAME_WIDTH, 0, 0);
    if ((*f)->window == nullptr) fatal_error(errno, "src/frame", __LINE__);
}

void frame_init(frame* f)
{
    f->begin_y = 0;
    f->begin_x = 0;
}

void frame_free(frame* f)
{
    delwin(f->window);
    delete f;
}

void frame_set(frame* f, int begin_y, int begin_x)
{
    f->begin_y = begin_y;
    f->begin_x = begin_x;
    mvwin(f->window, begin_y, begin_x);
}

frame* frame_dup(const frame* f)
{
    frame* copy = nullptr;
    frame_alloc(&copy);
    frame_set(copy, f->begin_y, f->begin_x);
    return copy;
}
