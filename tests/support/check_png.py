#!/usr/bin/env python3
"""check_png.py PICTURE.png EXPECTATIONS: checks a --vram-png picture.

Expectation lines (blank lines and lines starting with # are skipped):
  size W H                      the picture is W x H
  pixel X Y RRGGBB              one pixel has the colour
  region X0 Y0 X1 Y1 RRGGBB     every pixel of the inclusive rectangle has it
  count X0 Y0 X1 Y1 RRGGBB N    exactly N pixels of the rectangle have it
  none X0 Y0 X1 Y1 RRGGBB       no pixel of the rectangle has it
  some X0 Y0 X1 Y1 RRGGBB       at least one pixel of the rectangle has it
Prints every failed line; the exit code is 1 when any failed.
"""
import struct
import sys
import zlib


def read_png(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG file")
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour != 2 or interlace != 0:
                raise ValueError("expected 8-bit RGB without interlace")
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    raw = zlib.decompress(idat)
    stride = width * 3
    rows, prev = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b = prev[i]
            c = prev[i - 3] if i >= 3 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 255
        rows.append(bytes(line))
        prev = line
    return width, height, rows


def main():
    width, height, rows = read_png(sys.argv[1])

    def colour(x, y):
        if not (0 <= x < width and 0 <= y < height):
            return None
        r, g, b = rows[y][x * 3:x * 3 + 3]
        return "%02X%02X%02X" % (r, g, b)

    def matching(x0, y0, x1, y1, want):
        return sum(1 for y in range(y0, y1 + 1) for x in range(x0, x1 + 1) if colour(x, y) == want)

    failed = False
    for number, text in enumerate(open(sys.argv[2], encoding="utf-8"), 1):
        words = text.split()
        if not words or words[0].startswith("#"):
            continue
        op, args = words[0], words[1:]
        ok, detail = True, ""
        if op == "size":
            ok = [width, height] == [int(args[0]), int(args[1])]
            detail = "picture is %d x %d" % (width, height)
        elif op == "pixel":
            got = colour(int(args[0]), int(args[1]))
            ok, detail = got == args[2].upper(), "found %s" % got
        elif op == "some":
            x0, y0, x1, y1 = map(int, args[:4])
            n = matching(x0, y0, x1, y1, args[4].upper())
            ok, detail = n > 0, "no pixel matches"
        elif op in ("region", "count", "none"):
            x0, y0, x1, y1 = map(int, args[:4])
            want = args[4].upper()
            n = matching(x0, y0, x1, y1, want)
            area = (x1 - x0 + 1) * (y1 - y0 + 1)
            expect = area if op == "region" else 0 if op == "none" else int(args[5])
            ok, detail = n == expect, "%d of %d pixels match" % (n, area)
        else:
            ok, detail = False, "unknown check"
        if not ok:
            failed = True
            print("line %d: %s -- %s" % (number, text.strip(), detail))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
