#!/usr/bin/env python3
"""compare_page.py PAGE.png FACTOR PAGE_X PAGE_Y PICTURE.png X Y W H SCALE TOLERANCE

Checks a printed page against the picture it was printed from. PAGE.png is
the page rendered (pdftoppm) at FACTOR device pixels per page dot; the
W x H rectangle at (X, Y) of PICTURE.png (a --vram-png bank or any PNG)
was printed with its top-left at page dot (PAGE_X, PAGE_Y), each pixel a
square of SCALE dots. Every picture pixel is compared with the rendered
pixel at the centre of its square, so a renderer's smoothing along the
edges between colours does not count; every component may differ by at
most TOLERANCE. Prints the first differences; exit code 1 when any is off.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_png import read_png  # noqa: E402


def main():
    page, factor, px, py, picture, x, y, w, h, scale, tolerance = sys.argv[1:12]
    factor, px, py, scale = float(factor), float(px), float(py), float(scale)
    x, y, w, h, tolerance = int(x), int(y), int(w), int(h), int(tolerance)
    _, _, page_rows = read_png(page)
    _, _, rows = read_png(picture)
    bad = 0
    for j in range(h):
        for i in range(w):
            cx = int((px + (i + 0.5) * scale) * factor)
            cy = int((py + (j + 0.5) * scale) * factor)
            got = page_rows[cy][cx * 3:cx * 3 + 3]
            want = rows[y + j][(x + i) * 3:(x + i) * 3 + 3]
            if max(abs(a - b) for a, b in zip(got, want)) > tolerance:
                if bad < 5:
                    print(f"picture pixel {x + i},{y + j}: page {got.hex()} expected {want.hex()}")
                bad += 1
    if bad:
        print(f"{bad} pixels differ by more than {tolerance}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
