#!/usr/bin/env python3
"""Paints the demo's photo-like pictures into a folder: landscape.bmp (hills
under a sky, the page background) and sunset.bmp (a sea at sunset, pasted
onto the page). Gradients, a sun with a glow and a little grain, so they look
like photographs rather than drawings. Deterministic; files already there are
kept."""
import math
import os
import struct
import sys


def write_bmp(path, width, height, row):
    """A 24-bit bottom-up BMP; row(y) gives the row's bytes in B, G, R order."""
    pad = bytes((4 - 3 * width % 4) % 4)
    data = b"".join(row(y) + pad for y in reversed(range(height)))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    with open(path + ".part", "wb") as out:
        out.write(head + info + data)
    os.replace(path + ".part", path)


def mix(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def grain(x, y):
    """A small repeatable noise in -4..4."""
    n = (x * 374761393 + y * 668265263) & 0xFFFFFFFF
    n = (n ^ (n >> 13)) * 1274126177 & 0xFFFFFFFF
    return ((n >> 16) % 9) - 4


def to_bytes(colours, y):
    out = bytearray(3 * len(colours))
    for x, (r, g, b) in enumerate(colours):
        k = grain(x, y)
        out[3 * x] = min(max(int(b) + k, 0), 255)
        out[3 * x + 1] = min(max(int(g) + k, 0), 255)
        out[3 * x + 2] = min(max(int(r) + k, 0), 255)
    return bytes(out)


def landscape(path, w=900, h=1000):
    horizon = 0.50 * h
    sun = (0.74 * w, 0.20 * h, 0.045 * h)
    far = [horizon - 0.16 * h + 0.05 * h * math.sin(x / w * 7.1 + 1.3)
           + 0.03 * h * math.sin(x / w * 17.0) for x in range(w)]
    near = [horizon + 0.02 * h + 0.06 * h * math.sin(x / w * 4.3 + 2.2)
            + 0.015 * h * math.sin(x / w * 23.0) for x in range(w)]
    sky_top, sky_low = (38, 92, 172), (206, 228, 246)
    mountain, haze = (92, 112, 150), (170, 188, 212)
    hill_top, hill_low = (92, 150, 72), (42, 98, 48)
    meadow_top, meadow_low = (150, 186, 84), (70, 122, 46)

    def row(y):
        sky = mix(sky_top, sky_low, y / horizon)
        colours = []
        for x in range(w):
            if y < far[x]:
                d = math.hypot(x - sun[0], y - sun[1])
                c = (255, 244, 200) if d < sun[2] else mix((255, 236, 170), sky, (d - sun[2]) / (3.5 * sun[2]))
            elif y < near[x]:
                c = mix(mountain, haze, (y - far[x]) / (near[x] - far[x] + 1) * 0.8)
            elif y < horizon + 0.14 * h:
                c = mix(hill_top, hill_low, (y - near[x]) / (0.14 * h))
            else:
                t = (y - horizon - 0.14 * h) / (0.36 * h)
                c = mix(meadow_top, meadow_low, t)
                # Rows of a field running towards the hills.
                if int((x - w / 2) / (18 + 60 * t) + 1000) % 2:
                    c = mix(c, (60, 110, 40), 0.25)
            colours.append(c)
        return to_bytes(colours, y)

    write_bmp(path, w, h, row)


def sunset(path, w=240, h=160):
    horizon = 0.58 * h
    sun = (0.42 * w, horizon, 0.16 * h)
    top, low = (72, 40, 110), (252, 150, 70)
    sea_top, sea_low = (120, 60, 90), (30, 30, 70)

    def row(y):
        colours = []
        for x in range(w):
            if y < horizon:
                d = math.hypot(x - sun[0], y - sun[1])
                sky = mix(top, low, y / horizon)
                c = (255, 226, 120) if d < sun[2] else mix((255, 190, 90), sky, (d - sun[2]) / (2.5 * sun[2]))
            else:
                t = (y - horizon) / (h - horizon)
                c = mix(sea_top, sea_low, t)
                # The sun's path on the water, broken by waves.
                if abs(x - sun[0]) < sun[2] * (1.2 - 0.6 * t) and int(y * 1.7 + 3 * math.sin(x / 5)) % 3 == 0:
                    c = mix(c, (255, 200, 110), 0.8 - 0.5 * t)
            colours.append(c)
        return to_bytes(colours, y)

    write_bmp(path, w, h, row)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(folder, exist_ok=True)
    for name, paint in (("landscape.bmp", landscape), ("sunset.bmp", sunset)):
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            paint(path)


if __name__ == "__main__":
    main()
