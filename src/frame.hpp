#pragma once

#include <cstdint>

#include <curses.h>

// Every card is shown in a window of this size.
inline constexpr int FRAME_HEIGHT = 5;
inline constexpr int FRAME_WIDTH = 7;

// A card's window and the screen place it belongs at. The game reads the place from
// begin_y and begin_x, never from curses: a window curses refuses to move keeps its
// old spot, but the frame still knows where the card lies.
struct frame {
    WINDOW* window = nullptr;  // owned
    std::int32_t begin_y = 0;
    std::int32_t begin_x = 0;
};

// Allocates a frame with a fresh window at the top-left corner and stores it in *f.
void frame_alloc(frame** f);
// Zeroes the stored place; the window stays where it is.
void frame_init(frame* f);
// Deletes the window (leaving the screen as it is) and frees the frame.
void frame_free(frame* f);
// Stores the place and moves the window there, whether or not curses agrees.
void frame_set(frame* f, int begin_y, int begin_x);
// A new frame with a window of its own at the same place; the caller owns it.
frame* frame_dup(const frame* f);
