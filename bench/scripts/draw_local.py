# Drawing with PIL's ImageDraw, Python's fast form: locals inside a
# function, bound methods and the pixel access object.
from PIL import Image, ImageDraw


def main():
    image = Image.new("RGB", (2600, 2000), "white")
    draw = ImageDraw.Draw(image)
    point, line = draw.point, draw.line
    for i in range(200000):
        c = i * 37 % 16777216
        point((i * 7919 % 2600, i * 6007 % 2000), fill=(c >> 16, (c >> 8) & 255, c & 255))
    for i in range(20000):
        x, y, n = i * 13 % 2300, i * 29 % 1700, 50 + i % 150
        c = i * 101 % 16777216
        colour = (c >> 16, (c >> 8) & 255, c & 255)
        kind = i % 3
        end = (x + n, y) if kind == 0 else (x, y + n) if kind == 1 else (x + n, y + n)
        line((x, y) + end, fill=colour)
    pixels = image.load()
    c = 0
    for y in range(0, 2000, 20):
        for x in range(0, 2600, 26):
            r, g, b = pixels[x, y]
            c = (c * 31 + (r << 16 | g << 8 | b)) % 1000003
    print("checksum", c)


main()
