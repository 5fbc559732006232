#!/usr/bin/env python3
"""Renders a terminal screen written by quorvel_screen to a PNG image.

Each cell is filled with its background colour; its character is drawn in DejaVu Sans
Mono, except the box-drawing lines, which are drawn as lines through the cell's middle
so that they meet their neighbours without the gaps a font leaves between rows.

Needs Debian's python3-pil and fonts-dejavu-core.
"""

import argparse
import sys

from PIL import Image, ImageDraw, ImageFont

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"

# The eight basic terminal colours as a terminal might show them; the game uses black,
# red, green (the table), yellow, blue (card backs) and white (card faces).
PALETTE = {
    0: (0x1a, 0x1a, 0x1a),
    1: (0xc8, 0x1e, 0x1e),
    2: (0x1e, 0x74, 0x3a),
    3: (0xc8, 0x9b, 0x10),
    4: (0x1f, 0x4e, 0xb4),
    5: (0x8e, 0x3a, 0xa8),
    6: (0x1c, 0x93, 0x9c),
    7: (0xf2, 0xf2, 0xee),
}
DEFAULT_FG = (0xe0, 0xe0, 0xe0)
DEFAULT_BG = (0x20, 0x20, 0x20)

# Which sides of the cell a box-drawing character joins: left, right, up, down.
BOX = {
    0x2500: (True, True, False, False),
    0x2502: (False, False, True, True),
    0x250C: (False, True, False, True),
    0x2510: (True, False, False, True),
    0x2514: (False, True, True, False),
    0x2518: (True, False, True, False),
    0x251C: (False, True, True, True),
    0x2524: (True, False, True, True),
    0x252C: (True, True, False, True),
    0x2534: (True, True, True, False),
    0x253C: (True, True, True, True),
}


def colour(number, default):
    number = int(number)
    if number < 0:
        return default
    if number in PALETTE:
        return PALETTE[number]
    if number < 16:
        return tuple(min(255, c + 0x30) for c in PALETTE[number - 8])
    sys.exit(f"render_screen: colour {number} has no place in the palette")


def read_screen(path):
    cells = {}
    with open(path, encoding="ascii") as dump:
        for line in dump:
            row, col, fg, bg, points = line.split()
            text = "".join(chr(int(p, 16)) for p in points.split("+"))
            cells[int(row), int(col)] = (text, colour(fg, DEFAULT_FG), colour(bg, DEFAULT_BG))
    rows = 1 + max(r for r, _ in cells)
    cols = 1 + max(c for _, c in cells)
    return rows, cols, cells


def render(rows, cols, cells, size):
    font = ImageFont.truetype(FONT, size)
    ascent, descent = font.getmetrics()
    width = round(font.getlength("M"))
    height = ascent + descent
    baseline = (height - ascent - descent) // 2 + ascent
    line = max(1, round(width / 8))

    image = Image.new("RGB", (cols * width, rows * height))
    draw = ImageDraw.Draw(image)
    for (row, col), (text, fg, bg) in cells.items():
        x, y = col * width, row * height
        draw.rectangle([x, y, x + width - 1, y + height - 1], fill=bg)
        code = ord(text[0])
        if code in BOX:
            left, right, up, down = BOX[code]
            # The middle of the cell, the line's own width centred on it.
            mx = x + (width - line) // 2
            my = y + (height - line) // 2
            if left:
                draw.rectangle([x, my, mx + line - 1, my + line - 1], fill=fg)
            if right:
                draw.rectangle([mx, my, x + width - 1, my + line - 1], fill=fg)
            if up:
                draw.rectangle([mx, y, mx + line - 1, my + line - 1], fill=fg)
            if down:
                draw.rectangle([mx, my, mx + line - 1, y + height - 1], fill=fg)
        elif text.strip():
            draw.text((x + width / 2, y + baseline), text, font=font, fill=fg, anchor="ms")
    return image


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("screen", help="the cells as quorvel_screen writes them")
    parser.add_argument("png", help="the image to write")
    parser.add_argument("--size", type=int, default=22, help="font size in pixels")
    args = parser.parse_args()
    rows, cols, cells = read_screen(args.screen)
    render(rows, cols, cells, args.size).save(args.png, optimize=True)


if __name__ == "__main__":
    main()
