#!/usr/bin/env python3
"""Writes the module's pictures: the 19 x 17 hand bitmap (208), the move cursor
(209) and the colour swatch's signs: no colour (204), swap (205) and reset
(206). Rerun after changing a drawing; the outputs are committed."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# The hand points up and to the left, at the spot the marker names. White is
# the transparent colour, so the hand's own light tone is not pure white.
HAND = [
    "  ##               ",
    " #..#              ",
    " #...#             ",
    "  #...#            ",
    "   #...#           ",
    "    #...####       ",
    "     #..#..###     ",
    "      #.#..#..##   ",
    "   ### #.......#.# ",
    "  #...##.......#..#",
    "  #.............#.#",
    "   #..............#",
    "    #.............#",
    "     #...........# ",
    "      #.........#  ",
    "       #.......#   ",
    "        #######    ",
]
COLOURS = {" ": (255, 255, 255), "#": (0, 0, 0), ".": (160, 200, 250)}  # RGB


# The swatch's signs. Magenta is their transparent colour, so the swatch's own
# frame and background show around them.
CLEAR = (255, 0, 255)
INK = (64, 64, 64)

# No colour: a light checkerboard crossed by a red slash, drawn inside a colour
# square whose top-left corner it is placed at (its frame stays visible).
def no_colour_rows():
    w, h = 28, 24
    # Whole 4-pixel checks, inclusive bounds.
    top, left, bottom, right = 2, 2, 17, 25
    rows = []
    for y in range(h):
        row = ""
        for x in range(w):
            if not (left <= x <= right and top <= y <= bottom):
                row += " "
                continue
            # The slash runs from the bottom-left to the top-right corner.
            dx, dy = right - left, top - bottom
            distance = abs(dx * (y - bottom) - dy * (x - left)) / (dx * dx + dy * dy) ** 0.5
            if distance < 1.0:
                row += "/"
            elif ((x - left) // 4 + (y - top) // 4) % 2:
                row += "."
            else:
                row += "o"
        rows.append(row)
    return rows


# Swap: a bent arrow with a head at each end, from the front square's side
# to the back square's.
SWAP = [
    "   #        ",
    "  ##        ",
    " #######    ",
    "  ##    #   ",
    "   #     #  ",
    "         #  ",
    "         #  ",
    "       #####",
    "        ### ",
    "         #  ",
]


# Reset: the default colours, a dark front square over a white back square.
def reset_rows():
    rows = []
    for y in range(10):
        row = ""
        for x in range(12):
            if x < 7 and y < 6:
                row += "#"
            elif 4 <= x <= 11 and 3 <= y <= 9:
                row += "#" if x in (4, 11) or y in (3, 9) else "w"
            else:
                row += " "
        rows.append(row)
    return rows


def bitmap(rows, colours):
    w, h = len(rows[0]), len(rows)
    assert all(len(r) == w for r in rows)
    row_bytes = (3 * w + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for c in row:
            r, g, b = colours[c]
            line += bytes((b, g, r))
        pixels += line + bytes(row_bytes - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(pixels), 0, 0, 14 + 40)
    return file_header + header + pixels


def hand_bitmap():
    assert (len(HAND[0]), len(HAND)) == (19, 17)
    return bitmap(HAND, COLOURS)


def swatch_signs():
    no_colour = bitmap(no_colour_rows(), {" ": CLEAR, "/": (220, 38, 38), ".": (214, 214, 214),
                                          "o": (255, 255, 255)})
    swap = bitmap(SWAP, {" ": CLEAR, "#": INK})
    reset = bitmap(reset_rows(), {" ": CLEAR, "#": INK, "w": (255, 255, 255)})
    return {"no_colour.bmp": no_colour, "swap.bmp": swap, "reset.bmp": reset}


def move_cursor():
    size, c = 32, 15
    shape = set()
    for d in range(-10, 11):
        for e in (-1, 0, 1):
            shape.add((c + d, c + e))
            shape.add((c + e, c + d))
    # Arrowheads at the four ends of the cross.
    for k in range(5):
        for e in range(-k, k + 1):
            shape.update({(c + e, c - 14 + k), (c + e, c + 14 - k),
                          (c - 14 + k, c + e), (c + 14 - k, c + e)})
    outline = {(x + dx, y + dy) for (x, y) in shape for dx in (-1, 0, 1) for dy in (-1, 0, 1)}
    outline -= shape
    xor_rows, and_rows = [], []
    for y in range(size):
        xor_bits = and_bits = 0
        for x in range(size):
            bit = 1 << (31 - x)
            if (x, y) in shape:
                xor_bits |= bit  # white
            elif (x, y) not in outline:
                and_bits |= bit  # transparent; outline stays black
        xor_rows.append(struct.pack(">I", xor_bits))
        and_rows.append(struct.pack(">I", and_bits))
    xor_mask = b"".join(reversed(xor_rows))  # bottom-up
    and_mask = b"".join(reversed(and_rows))
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    info = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 1, 0, len(xor_mask) + len(and_mask),
                       0, 0, 2, 0)
    image = info + palette + xor_mask + and_mask
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, c, c, len(image), 6 + 16)
    return directory + entry + image


def main():
    with open(os.path.join(HERE, "hand.bmp"), "wb") as f:
        f.write(hand_bitmap())
    with open(os.path.join(HERE, "move.cur"), "wb") as f:
        f.write(move_cursor())
    for name, data in swatch_signs().items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
