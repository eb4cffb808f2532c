# Drawing with PIL's ImageDraw on a picture of the bank's size, with
# module-level variables as in the script.
from PIL import Image, ImageDraw


def rgb(packed):
    return (packed >> 16, (packed >> 8) & 255, packed & 255)


IMAGE = Image.new("RGB", (2600, 2000), "white")
DRAW = ImageDraw.Draw(IMAGE)
I = 0
while I < 200000:
    DRAW.point((I * 7919 % 2600, I * 6007 % 2000), fill=rgb(I * 37 % 16777216))
    I = I + 1
I = 0
while I < 20000:
    X = I * 13 % 2300
    Y = I * 29 % 1700
    N = 50 + I % 150
    COLOUR = rgb(I * 101 % 16777216)
    if I % 3 == 0:
        DRAW.line((X, Y, X + N, Y), fill=COLOUR)
    elif I % 3 == 1:
        DRAW.line((X, Y, X, Y + N), fill=COLOUR)
    else:
        DRAW.line((X, Y, X + N, Y + N), fill=COLOUR)
    I = I + 1
C = 0
Y = 0
while Y < 100:
    X = 0
    while X < 100:
        R, G, B = IMAGE.getpixel((X * 26, Y * 20))
        C = (C * 31 + (R << 16 | G << 8 | B)) % 1000003
        X = X + 1
    Y = Y + 1
print("checksum", C)
