#!/usr/bin/env python3
"""Writes the board objects' resources: the 19 x 17 hand bitmap (208) and the
move cursor (209). Rerun after changing a drawing; the outputs are committed."""
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


def hand_bitmap():
    w, h = len(HAND[0]), len(HAND)
    assert (w, h) == (19, 17) and all(len(r) == w for r in HAND)
    row_bytes = (3 * w + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(HAND):  # bottom-up
        line = bytearray()
        for c in row:
            r, g, b = COLOURS[c]
            line += bytes((b, g, r))
        pixels += line + bytes(row_bytes - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(pixels), 0, 0, 14 + 40)
    return file_header + header + pixels


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


if __name__ == "__main__":
    main()
