#!/usr/bin/env python3
"""Draws the skin's pictures: tool and button icons at 24 and 36 pixels, the
line-style samples, the page and library tree pictures (by number) and the
background templates. Shapes are measured in a 24-unit box and sampled 4 x 4
per pixel, so every size gets smooth edges. Rerun after changing a drawing;
the outputs are committed."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SKIN = os.path.join(HERE, "skin")

KEY = (255, 0, 255)      # the transparent colour the skin names
FACE = (243, 244, 246)   # what soft edges are mixed with: the buttons' face
INK = (55, 65, 81)
BLUE = (37, 99, 235)
RED = (220, 38, 38)
GREEN = (22, 163, 74)
AMBER = (245, 158, 11)
PINK = (236, 72, 153)
PAPER = (255, 255, 255)
GREY = (156, 163, 175)
SKY = (147, 197, 253)
SAMPLES = 4


def write_bmp(path, width, height, pixel):
    """A 24-bit bottom-up BMP; pixel(x, y) gives (r, g, b)."""
    row_bytes = (3 * width + 3) // 4 * 4
    data = bytearray()
    for y in reversed(range(height)):
        line = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            line += bytes((b, g, r))
        data += line + bytes(row_bytes - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(head + info + data)


# Shapes: functions of a point in the 24-unit box that say whether it is inside.
def seg(x1, y1, x2, y2, w):
    dx, dy = x2 - x1, y2 - y1
    length2 = dx * dx + dy * dy or 1e-9

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / length2))
        px, py = x1 + t * dx - x, y1 + t * dy - y
        return px * px + py * py <= w * w / 4
    return inside


def polyline(points, w, closed=False):
    pts = list(points) + ([points[0]] if closed else [])
    parts = [seg(*pts[i], *pts[i + 1], w) for i in range(len(pts) - 1)]
    return lambda x, y: any(p(x, y) for p in parts)


def polygon(points):
    def inside(x, y):
        hit = False
        for i in range(len(points)):
            (x1, y1), (x2, y2) = points[i], points[i - 1]
            if (y1 > y) != (y2 > y) and x < (x2 - x1) * (y - y1) / (y2 - y1) + x1:
                hit = not hit
        return hit
    return inside


def box(x0, y0, x1, y1, r=0.0):
    def dist(x, y):
        qx = abs(x - (x0 + x1) / 2) - ((x1 - x0) / 2 - r)
        qy = abs(y - (y0 + y1) / 2) - ((y1 - y0) / 2 - r)
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r
    return dist


def fill_box(x0, y0, x1, y1, r=0.0):
    d = box(x0, y0, x1, y1, r)
    return lambda x, y: d(x, y) <= 0


def ring_box(x0, y0, x1, y1, w, r=0.0):
    d = box(x0, y0, x1, y1, r)
    return lambda x, y: abs(d(x, y)) <= w / 2


def ellipse_dist(cx, cy, rx, ry):
    return lambda x, y: (math.hypot((x - cx) / rx, (y - cy) / ry) - 1) * min(rx, ry)


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, rx, ry, w, keep=lambda x, y: True):
    d = ellipse_dist(cx, cy, rx, ry)
    return lambda x, y: abs(d(x, y)) <= w / 2 and keep(x, y)


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def head(x1, y1, x2, y2, size):
    """A filled arrow head at (x2, y2) pointing away from (x1, y1)."""
    a = math.atan2(y2 - y1, x2 - x1)
    left = (x2 - size * math.cos(a - 0.45), y2 - size * math.sin(a - 0.45))
    right = (x2 - size * math.cos(a + 0.45), y2 - size * math.sin(a + 0.45))
    return polygon([(x2 + 0.6 * math.cos(a), y2 + 0.6 * math.sin(a)), left, right])


def render(layers, size, background=None):
    """Pixels of the layers (colour, shape) painted in order; uncovered pixels
    are the key colour unless a background is given."""
    scale = 24.0 / size
    out = {}
    for py in range(size):
        for px in range(size):
            acc = [0.0, 0.0, 0.0]
            covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) * scale
                    y = (py + (sy + 0.5) / SAMPLES) * scale
                    colour = None
                    for c, shape in layers:
                        if shape(x, y):
                            colour = c
                    if colour is None:
                        colour = background or FACE
                    else:
                        covered += 1
                    for i in range(3):
                        acc[i] += colour[i]
            n = SAMPLES * SAMPLES
            if covered == 0 and background is None:
                out[px, py] = KEY
            else:
                out[px, py] = tuple(int(round(a / n)) for a in acc)
    return lambda x, y: out[x, y]


def half(orientation):
    """Half ellipses: 1 upper, 2 lower, 3 left, 4 right, with their chord."""
    w = 2.0
    if orientation in (1, 2):
        cy = 16 if orientation == 1 else 8
        keep = (lambda x, y: y <= cy) if orientation == 1 else (lambda x, y: y >= cy)
        return union(ring(12, cy, 8.5, 9, w, keep), seg(3.5, cy, 20.5, cy, w))
    cx = 16 if orientation == 3 else 8
    keep = (lambda x, y: x <= cx) if orientation == 3 else (lambda x, y: x >= cx)
    return union(ring(cx, 12, 9, 8.5, w, keep), seg(cx, 3.5, cx, 20.5, w))


def folder(colour, open_):
    back = fill_box(2, 5, 22, 20, 1.5)
    tab = fill_box(2, 3.5, 10, 7, 1.2)
    layers = [(INK, union(ring_box(2, 5, 22, 20, 1.5, 1.5), tab)), (colour, minus(back, ring_box(2, 5, 22, 20, 1.5, 1.5)))]
    if open_:
        front = polygon([(5, 10), (23, 10), (20, 20.5), (2, 20.5)])
        layers += [(INK, polyline([(5, 10), (23, 10), (20, 20.5), (2, 20.5)], 1.5, closed=True)),
                   (tuple(min(255, c + 40) for c in colour), minus(front, polyline([(5, 10), (23, 10), (20, 20.5), (2, 20.5)], 1.5, closed=True)))]
    return layers


def page(lines=True, fold=True):
    outline = [(5, 2.5), (15, 2.5), (19.5, 7), (19.5, 21.5), (5, 21.5)]
    layers = [(PAPER, polygon(outline)), (INK, polyline(outline, 1.6, closed=True))]
    if fold:
        layers.append((INK, polyline([(15, 2.5), (15, 7), (19.5, 7)], 1.4)))
    if lines:
        layers += [(GREY, seg(8, y, 16.5, y, 1.3)) for y in (11, 14, 17)]
    return layers


def undo_arrow(colour, left):
    """An arc over the top ending in a head that points down: to the left for
    undo, to the right for redo. The disabled buttons show it grey."""
    end = 6 if left else 18
    arc = ring(12, 14, 6, 6, 2.2, lambda x, y: y <= 14 and (x >= 7 if left else x <= 17))
    return [(colour, union(arc, head(end, 9, end, 17.5, 7.5)))]


def icons():
    arrow = [(6, 3), (6, 19.5), (10, 15.8), (13, 21.5), (15.8, 20.3), (12.8, 14.2), (18, 14.2)]
    pencil_body = [(5.5, 15.5), (15.5, 5.5), (18.5, 8.5), (8.5, 18.5)]
    pencil_tip = [(5.5, 15.5), (8.5, 18.5), (3.5, 20.5)]
    eraser = [(3.5, 14.5), (12.5, 5.5), (19.5, 12.5), (10.5, 21.5)]
    eraser_tip = [(3.5, 14.5), (8, 10), (15, 17), (10.5, 21.5)]
    lasso = ellipse_dist(12, 10, 8.5, 6)
    dashes = lambda x, y: abs(lasso(x, y)) <= 0.9 and int((math.atan2(y - 10, x - 12) + math.pi) / 0.5) % 2 == 0
    mountains = polygon([(4.5, 18.5), (10, 11), (13.5, 15), (15.5, 13), (19.5, 18.5)])
    hand_shape = union(fill_box(9.5, 2.5, 13, 13, 1.75), fill_box(7, 10, 19, 21.5, 3),
                       fill_box(4.2, 11, 7.8, 17.5, 1.8))
    hand_fill = union(fill_box(10.3, 3.3, 12.2, 13, 0.95), fill_box(7.8, 10.8, 18.2, 20.7, 2.2),
                      fill_box(5, 11.8, 7.8, 16.7, 1))
    trash = [(6, 7.5), (18, 7.5), (16.8, 21), (7.2, 21)]
    return {
        # tools, by their names in the tool table
        "choice": [(INK, polygon(arrow)), (PAPER, polygon([(7.3, 6.2), (7.3, 16.6), (10.3, 13.9), (13.6, 19.8), (14.1, 19.6), (10.9, 13.1), (14.8, 13.1)]))],
        "delete": [(PINK, polygon(eraser)), (PAPER, polygon(eraser_tip)), (INK, polyline(eraser, 1.5, closed=True)),
                   (INK, seg(8, 10, 15, 17, 1.3)), (INK, seg(13, 21.5, 21, 21.5, 1.5))],
        "pencial": [(AMBER, polygon(pencil_body)), (INK, polyline(pencil_body, 1.4, closed=True)),
                    (PAPER, polygon(pencil_tip)), (INK, polyline(pencil_tip, 1.4, closed=True)),
                    (INK, polygon([(3.5, 20.5), (4.6, 18), (6, 19.4)])), (PINK, polygon([(15.5, 5.5), (17, 4), (20, 7), (18.5, 8.5)]))],
        "freecut": [(BLUE, dashes), (INK, seg(7, 15, 5, 20.5, 1.6)), (INK, ring(5, 21, 1.6, 1.6, 1.2))],
        "text": [(INK, union(fill_box(5, 4, 19, 7.2, 0.6), fill_box(10.4, 4, 13.6, 20, 0.6), fill_box(8.5, 18.5, 15.5, 20.5, 0.5)))],
        "image": [(PAPER, fill_box(3, 5, 21, 19.5, 2)), (SKY, fill_box(4.5, 6.5, 19.5, 18, 1)), (GREEN, mountains),
                  (AMBER, disc(15.5, 9.8, 1.8)), (INK, ring_box(3, 5, 21, 19.5, 1.6, 2))],
        "rect": [(INK, ring_box(4, 6, 20, 18, 2.0))],
        "trigon": [(INK, polyline([(12, 4.5), (20.5, 19), (3.5, 19)], 2.0, closed=True))],
        "line": [(INK, seg(5, 19, 19, 5, 2.0))],
        "lineSA": [(INK, seg(5, 19, 17, 7, 2.0)), (INK, head(5, 19, 19.5, 4.5, 7))],
        "lineDA": [(INK, seg(7, 17, 17, 7, 2.0)), (INK, head(5, 19, 19.5, 4.5, 7)), (INK, head(19, 5, 4.5, 19.5, 7))],
        "ellipse": [(INK, ring(12, 12, 8.5, 6.5, 2.0))],
        "halfcircle1": [(INK, half(1))],
        "halfcircle2": [(INK, half(2))],
        "halfcircle3": [(INK, half(3))],
        "halfcircle4": [(INK, half(4))],
        # buttons
        "paste": [(AMBER, fill_box(5, 4.5, 19, 21.5, 2)), (INK, ring_box(5, 4.5, 19, 21.5, 1.5, 2)),
                  (PAPER, fill_box(8, 8, 16, 19, 0.5)), (INK, fill_box(9, 2.5, 15, 6.5, 1)),
                  (GREY, union(seg(10, 12, 14, 12, 1.2), seg(10, 15, 14, 15, 1.2)))],
        "clrscr": [(PAPER, polygon(trash)), (INK, polyline(trash, 1.5, closed=True)), (INK, seg(4, 7.5, 20, 7.5, 1.6)),
                   (INK, ring_box(9.5, 3.5, 14.5, 7.5, 1.4, 0.8)), (RED, union(seg(10, 11, 10.4, 18, 1.3), seg(14, 11, 13.6, 18, 1.3)))],
        "save": [(BLUE, fill_box(4, 4, 20, 20, 2)), (PAPER, fill_box(7, 4, 16, 10, 0.5)), (BLUE, fill_box(13, 5, 14.6, 9, 0.3)),
                 (PAPER, fill_box(7, 13, 17, 20, 0.8)), (GREY, union(seg(9, 15.5, 15, 15.5, 1), seg(9, 17.7, 15, 17.7, 1)))],
        "pageLeft": [(INK, polyline([(14.5, 5), (7.5, 12), (14.5, 19)], 2.6))],
        "pageRight": [(INK, polyline([(9.5, 5), (16.5, 12), (9.5, 19)], 2.6))],
        "contents": [(BLUE, union(disc(5.5, 7, 1.6), disc(5.5, 12, 1.6), disc(5.5, 17, 1.6))),
                     (INK, union(seg(9.5, 7, 19.5, 7, 2), seg(9.5, 12, 19.5, 12, 2), seg(9.5, 17, 19.5, 17, 2)))],
        "add page": page(lines=False) + [(GREEN, disc(17, 17, 5.5)), (PAPER, union(seg(17, 14, 17, 20, 1.8), seg(14, 17, 20, 17, 1.8)))],
        "add share doc": page() + [(BLUE, disc(17, 17, 5.5)), (PAPER, union(seg(17, 20, 17, 14.3, 1.8), head(17, 20, 17, 13.3, 3.8)))],
        "ext panel btn": [(INK, union(polyline([(6, 7), (11, 12), (6, 17)], 2.2), polyline([(13, 7), (18, 12), (13, 17)], 2.2)))],
        "hand": [(INK, hand_shape), (PAPER, hand_fill)],
        "capture": [(INK, fill_box(3, 7, 21, 19.5, 2.5)), (INK, fill_box(8, 4.5, 14, 8, 1)), (PAPER, disc(12, 13, 4.6)),
                    (INK, disc(12, 13, 3)), (SKY, disc(11, 12, 1)), (AMBER, disc(18, 9.5, 0.9))],
        "cut": [(INK, union(polyline([(7, 3), (7, 17), (21, 17)], 2.2), polyline([(3, 7), (17, 7), (17, 21)], 2.2)))],
        "bkgnd": [(PAPER, fill_box(3.5, 3.5, 20.5, 20.5, 1.5)),
                  (SKY, union(*[seg(x, 4, x, 20, 1) for x in (7.75, 12, 16.25)], *[seg(4, y, 20, y, 1) for y in (7.75, 12, 16.25)])),
                  (INK, ring_box(3.5, 3.5, 20.5, 20.5, 1.6, 1.5))],
        "bkgndscale": [(INK, union(ring(10, 10, 6, 6, 2.2), seg(14.5, 14.5, 20, 20, 3))),
                       (BLUE, union(seg(7, 10, 13, 10, 1.8), seg(10, 7, 10, 13, 1.8)))],
        "undo": undo_arrow(INK, left=True),
        "undo off": undo_arrow(GREY, left=True),
        "redo": undo_arrow(INK, left=False),
        "redo off": undo_arrow(GREY, left=False),
        # the picture-edit panel
        "editpic reset": [(INK, union(fill_box(3.5, 6, 7, 19, 0.5), polygon([(3.5, 6), (7, 6), (3.5, 9.5), (1.5, 9.5)]),
                                      fill_box(17, 6, 20.5, 19, 0.5), polygon([(17, 6), (20.5, 6), (17, 9.5), (15, 9.5)]))),
                          (BLUE, union(disc(12, 9.5, 1.7), disc(12, 16, 1.7)))],
        "editpic mirror lr": [(INK, polygon([(3, 6), (10, 12), (3, 18)])), (BLUE, polygon([(21, 6), (14, 12), (21, 18)])),
                              (GREY, union(*[seg(12, y, 12, y + 1.5, 1.2) for y in (3, 6, 9, 12, 15, 18, 21)]))],
        "editpic mirror tb": [(INK, polygon([(6, 3), (12, 10), (18, 3)])), (BLUE, polygon([(6, 21), (12, 14), (18, 21)])),
                              (GREY, union(*[seg(x, 12, x + 1.5, 12, 1.2) for x in (3, 6, 9, 12, 15, 18, 21)]))],
        "editpic turn left": [(INK, ring(13, 13, 7, 7, 2.2, lambda x, y: not (x < 13 and y < 13))), (INK, head(13, 20, 6, 12, 0.1)),
                              (INK, head(13, 6, 6.5, 6, 6))],
        "editpic turn right": [(INK, ring(11, 13, 7, 7, 2.2, lambda x, y: not (x > 11 and y < 13))), (INK, head(11, 6, 17.5, 6, 6))],
    }


# Tree pictures by number: page roots, library folders, documents, pages.
def tree_pictures():
    red, blue, amber = (239, 68, 68), (59, 130, 246), (234, 179, 8)
    marked = page() + [(GREEN, disc(17, 17, 5)), (PAPER, polyline([(14.5, 17), (16.5, 19), (19.5, 15)], 1.6))]
    doc = page() + [(red, fill_box(4, 12.5, 13, 19.5, 1)), (PAPER, union(seg(6, 16, 11, 16, 1.4)))]
    return {11: folder(red, False), 12: folder(red, True), 21: folder(blue, False), 22: folder(blue, True),
            31: folder(amber, False), 32: folder(amber, True), 41: doc, 42: doc + [(INK, ring_box(2, 1, 22, 23, 1, 2))],
            51: page(), 52: marked}


def line_style(dashes, width, height):
    """A horizontal line in a pen style, as dash and gap lengths in pixels at 48 wide."""
    scale = width / 48

    def pixel(x, y):
        on = True
        if dashes:
            pos, t = 0.0, (x + 0.5) / scale - 4
            pattern = dashes * 20
            for i, length in enumerate(pattern):
                if pos <= t < pos + length:
                    on = i % 2 == 0
                    break
                pos += length
        mid = abs(y + 0.5 - height / 2) <= 1.0 * scale
        return INK if on and mid and 4 * scale <= x < width - 4 * scale else FACE
    return pixel


STYLES = {"PS_SOLID": [], "PS_DASH": [9, 4], "PS_DOT": [2, 3], "PS_DASHDOT": [8, 3, 2, 3],
          "PS_DASHDOTDOT": [8, 3, 2, 3, 2, 3]}


def templates():
    """Background templates, tiled over a page."""
    grid_line, ruled, margin = (210, 225, 245), (190, 210, 240), (245, 180, 180)
    return {
        # Plain paper, in tiles large enough that a page takes few copies.
        "default": (128, 128, lambda x, y: PAPER),
        "grid": (24, 24, lambda x, y: grid_line if x == 0 or y == 0 else PAPER),
        "lines": (32, 32, lambda x, y: ruled if y == 31 else PAPER),
        "dots": (24, 24, lambda x, y: (170, 180, 195) if (x, y) in ((0, 0), (1, 0), (0, 1), (1, 1)) else PAPER),
    }


def main():
    for name, layers in icons().items():
        file_name = name.replace(" ", "_") + ".bmp"
        for size in (24, 36):
            write_bmp(os.path.join(SKIN, "ScriblySkin", "icons", str(size), file_name), size, size, render(layers, size))
    for style, dashes in STYLES.items():
        for width, height, folder_name in ((48, 12, "24"), (72, 18, "36")):
            write_bmp(os.path.join(SKIN, "ScriblySkin", "icons", folder_name, style + ".bmp"), width, height,
                      line_style(dashes, width, height))
    for number, layers in tree_pictures().items():
        write_bmp(os.path.join(SKIN, "VDTree", "%d.bmp" % number), 16, 16, render(layers, 16, background=PAPER))
    for name, (w, h, pixel) in templates().items():
        write_bmp(os.path.join(SKIN, "Back", name + ".bmp"), w, h, pixel)


if __name__ == "__main__":
    main()
