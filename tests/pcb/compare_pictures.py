#!/usr/bin/env python3
"""compare_pictures.py OURS.png THEIRS.png W H
   compare_pictures.py --discs "x,y,d x,y,d ..." THEIRS.png W H

Compares the top-left W x H pixels of two pictures of a board layer: ours
(the layer drawn in pure red on black) and gerbv's render (red on black).
With --discs the expectation is computed instead: filled discs at board
millimetres (x, y) of diameter d, at 10 pixels per millimetre, with the
board's (0, 0) at the bottom left of the picture.

Tolerance: a pixel set in one picture counts as a mismatch only when no
pixel of its 3 x 3 neighbourhood is set in the other, so edges may differ
by one pixel (rasterisers decide the pixels an edge passes through
differently) but nothing may be missing, added or displaced: no pixel may
mismatch.
"""
import subprocess
import sys

SCALE = 10.0  # pixels per millimetre


def read_rgb(path):
    """Pixels as rows of (r, g, b) through ImageMagick (gerbv writes RGBA)."""
    data = subprocess.run(["convert", path, "-alpha", "off", "-depth", "8", "ppm:-"],
                          check=True, capture_output=True).stdout
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos:]


def mask_of(path, w, h, ours):
    width, height, pixels = read_rgb(path)
    if width < w - 1 or height < h - 1:
        sys.exit(f"{path}: {width} x {height}, expected about {w} x {h}")
    mask = [[False] * w for _ in range(h)]
    for y in range(min(h, height)):
        for x in range(min(w, width)):
            i = (y * width + x) * 3
            r, g, b = pixels[i], pixels[i + 1], pixels[i + 2]
            mask[y][x] = r >= 128 and (not ours or (g < 128 and b < 128))
    return mask


def disc_mask(holes, w, h):
    discs = [tuple(float(v) for v in item.split(",")) for item in holes.split()]
    mask = [[False] * w for _ in range(h)]
    board_height = h / SCALE
    for y in range(h):
        by = board_height - (y + 0.5) / SCALE
        for x in range(w):
            bx = (x + 0.5) / SCALE
            mask[y][x] = any((bx - cx) ** 2 + (by - cy) ** 2 <= (d / 2) ** 2 for cx, cy, d in discs)
    return mask


def near(mask, x, y, w, h):
    for dy in (-1, 0, 1):
        for dx in (-1, 0, 1):
            if 0 <= x + dx < w and 0 <= y + dy < h and mask[y + dy][x + dx]:
                return True
    return False


def main(argv):
    if argv[1] == "--discs":
        w, h = int(argv[4]), int(argv[5])
        a, b = disc_mask(argv[2], w, h), mask_of(argv[3], w, h, False)
    else:
        w, h = int(argv[3]), int(argv[4])
        a, b = mask_of(argv[1], w, h, True), mask_of(argv[2], w, h, False)
    set_pixels = sum(1 for y in range(h) for x in range(w) if a[y][x] or b[y][x])
    only_a = sum(1 for y in range(h) for x in range(w) if a[y][x] and not near(b, x, y, w, h))
    only_b = sum(1 for y in range(h) for x in range(w) if b[y][x] and not near(a, x, y, w, h))
    print(f"set {set_pixels}, only expected {only_a}, only gerbv {only_b}")
    if set_pixels < 100:
        print("too few pixels set: nothing was drawn")
        return 1
    if only_a + only_b > 0:
        print("the pictures differ by more than a pixel")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
