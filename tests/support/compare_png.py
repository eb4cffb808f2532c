#!/usr/bin/env python3
"""compare_png.py PICTURE.png X Y REFERENCE.rgb WIDTH HEIGHT TOLERANCE

Compares the WIDTH x HEIGHT area of a --vram-png picture at (X, Y) with a
raw top-down RGB file (as ImageMagick writes with `rgb:`), pixel by pixel:
every component may differ by at most TOLERANCE. Prints the first
differences; the exit code is 1 when any pixel is off.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_png import read_png  # noqa: E402


def main():
    png, x, y, ref, w, h, tolerance = sys.argv[1:8]
    x, y, w, h, tolerance = int(x), int(y), int(w), int(h), int(tolerance)
    width, height, rows = read_png(png)
    raw = open(ref, "rb").read()
    if len(raw) != w * h * 3:
        print(f"{ref}: {len(raw)} bytes, expected {w * h * 3}")
        return 1
    bad = 0
    for j in range(h):
        for i in range(w):
            got = rows[y + j][(x + i) * 3:(x + i) * 3 + 3]
            want = raw[(j * w + i) * 3:(j * w + i) * 3 + 3]
            if max(abs(a - b) for a, b in zip(got, want)) > tolerance:
                if bad < 5:
                    print(f"pixel {x + i},{y + j}: {bytes(got).hex()} expected {bytes(want).hex()}")
                bad += 1
    if bad:
        print(f"{bad} pixels differ by more than {tolerance}")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
