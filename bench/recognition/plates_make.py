#!/usr/bin/python3
"""plates_make.py OUTDIR [PER_CONDITION_JP] [PER_CONDITION_LATIN] [SET]

Synthetic number plates for plates_bench.sh: Japanese plates (region name,
class number, kana, serial number in the standard layout, IPA Gothic) and
Latin-alphabet plates (one or two lines of capitals and digits), each put on
a car-like scene of 800 x 600 and spoilt in one of nine ways: clean, turned
(up to 5 degrees), blurred, noisy, small, dim, JPEG-compressed, yellow (the
light-car plate, and the yellow rear plate) and mixed (a little of each).

Every picture is a 24-bit BMP, OUTDIR/NAME.bmp; OUTDIR/list.txt has one
line per picture, "STYLE<TAB>NAME<TAB>CONDITION<TAB>EXPECTED" (STYLE jp or
latin, EXPECTED in UTF-8 as the reader should give it). Seeds are fixed:
the same command makes the same pictures, byte for byte. SET (default
empty: the benchmark's own pictures) names another set of seeds, for
checking that a change to the readers helps beyond the pictures it was
tried on.
"""
import io
import os
import random
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

FONT = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"
SCENE = (800, 600)
CONDITIONS = ["clean", "turned", "blurred", "noisy", "small", "dim", "jpeg", "yellow", "mixed"]
MM = 6  # drawing pixels per millimetre of the flat plate, before scaling

REGIONS = [
    "札幌", "函館", "旭川", "青森", "八戸", "盛岡", "仙台", "秋田", "山形", "福島", "郡山", "いわき",
    "水戸", "土浦", "つくば", "宇都宮", "群馬", "高崎", "大宮", "川口", "所沢", "川越", "熊谷", "春日部",
    "千葉", "成田", "習志野", "船橋", "柏", "松戸", "品川", "世田谷", "練馬", "杉並", "板橋", "足立",
    "八王子", "多摩", "横浜", "川崎", "湘南", "相模", "山梨", "新潟", "長野", "松本", "富山", "金沢",
    "福井", "岐阜", "静岡", "浜松", "沼津", "名古屋", "豊橋", "三河", "岡崎", "豊田", "一宮", "三重",
    "滋賀", "京都", "大阪", "なにわ", "和泉", "堺", "神戸", "姫路", "奈良", "和歌山", "岡山", "倉敷",
    "広島", "福山", "山口", "徳島", "香川", "愛媛", "高知", "福岡", "北九州", "久留米", "佐賀", "長崎",
    "熊本", "大分", "宮崎", "鹿児島", "沖縄",
]
KANA = "あいうえかきくけこさすせそたちつてとなにぬねのはひふほまみむめもやゆよらりるれろわを"
CLASSES = ["3", "5", "4", "33", "50", "58", "300", "330", "500", "501", "530", "580", "800", "302", "31A", "50C"]
LETTERS = "ABCDEFGHJKLMNPRSTUVWXYZ"  # no I, O, Q, as on many plates
DIGITS = "0123456789"

_fonts = {}


def font(size):
    if size not in _fonts:
        _fonts[size] = ImageFont.truetype(FONT, size)
    return _fonts[size]


def ink(text, height, width=None):
    """The text drawn black on a transparent ground, cut to its ink and
    scaled to `height` (and `width` when given) pixels: an 'L' mask."""
    size = max(8, int(height * 1.4))
    f = font(size)
    box = f.getbbox(text)
    mask = Image.new("L", (box[2] - box[0] + 8, box[3] - box[1] + 8), 0)
    ImageDraw.Draw(mask).text((4 - box[0], 4 - box[1]), text, font=f, fill=255)
    mask = mask.crop(mask.getbbox())
    w = width if width is not None else max(1, round(mask.width * height / mask.height))
    return mask.resize((max(1, int(w)), max(1, int(height))), Image.LANCZOS)


def digits_ink(text, height, width_of_eight):
    """Digits as a plate draws them: each as wide as the font makes it
    against an 8 of `width_of_eight`, so a 1 stays a narrow stroke."""
    eight = ink("8", height)
    k = width_of_eight / eight.width
    return [ink(ch, height, width=max(1, round(ink(ch, height).width * k))) for ch in text]


def put(plate, mask, x, y, colour):
    plate.paste(Image.new("RGB", mask.size, colour), (int(x), int(y)), mask)


def serial_text(rng):
    number = rng.choice([rng.randint(1000, 9999), rng.randint(1000, 9999), rng.randint(100, 999),
                         rng.randint(10, 99), rng.randint(1, 9)])
    digits = str(number)
    if len(digits) == 4:
        return digits, digits[:2] + "-" + digits[2:]
    return digits, "・" * (4 - len(digits)) + digits


def japanese_plate(rng, yellow):
    """A flat 330 x 165 mm plate, and its text as the reader gives it."""
    region = rng.choice(REGIONS)
    klass = rng.choice(CLASSES)
    kana = rng.choice(KANA)
    digits, serial = serial_text(rng)
    ground = (240, 196, 36) if yellow else (rng.randint(236, 250),) * 3
    colour = (18, 18, 18) if yellow else (18, 84, 48)
    w, h = 330 * MM, 165 * MM
    plate = Image.new("RGB", (w, h), ground)
    d = ImageDraw.Draw(plate)
    if rng.random() < 0.7:  # the raised rim
        rim = tuple(int(c * 0.72) for c in ground)
        d.rounded_rectangle([3 * MM, 3 * MM, w - 3 * MM, h - 3 * MM], radius=6 * MM, outline=rim, width=int(1.2 * MM))
    # Upper line: region name and class number, centred together.
    top, height = 16 * MM, 27 * MM
    name = ink(region, height)
    if name.width > 100 * MM:
        name = name.resize((100 * MM, height), Image.LANCZOS)
    klass_inks = digits_ink(klass, height, 14 * MM)
    klass_width = sum(k.width for k in klass_inks) + 2 * MM * (len(klass_inks) - 1)
    gap = 9 * MM
    left = (w - name.width - gap - klass_width) // 2
    put(plate, name, left, top, colour)
    x = left + name.width + gap
    for k in klass_inks:
        put(plate, k, x, top, colour)
        x += k.width + 2 * MM
    # Lower line: the kana on the left, the serial number in four places.
    serial_top, serial_height = 60 * MM, 80 * MM
    middle = serial_top + serial_height // 2
    kana_ink = ink(kana, 32 * MM)
    put(plate, kana_ink, 14 * MM + (36 * MM - kana_ink.width) // 2, middle - kana_ink.height // 2, colour)
    slots = [62 * MM, 112 * MM, 190 * MM, 240 * MM]
    slot_width = 46 * MM
    shown = serial.replace("-", "")
    for i, ch in enumerate(shown):
        x = slots[i]
        if ch == "・":
            r = 5 * MM
            d.ellipse([x + slot_width // 2 - r, middle - r, x + slot_width // 2 + r, middle + r], fill=colour)
        else:
            digit = digits_ink(ch, serial_height, slot_width)[0]
            put(plate, digit, x + (slot_width - digit.width) // 2, serial_top, colour)
    if "-" in serial:
        d.rectangle([164 * MM, middle - 4 * MM, 186 * MM, middle + 4 * MM], fill=colour)
    return plate, f"{region} {klass} {kana} {serial}"


def latin_text(rng):
    pick = lambda s, n: "".join(rng.choice(s) for _ in range(n))  # noqa: E731
    kind = rng.randrange(6)
    if kind == 0:
        return [pick(LETTERS, 2) + pick(DIGITS, 2) + " " + pick(LETTERS, 3)]
    if kind == 1:
        return [pick(LETTERS, 3) + " " + pick(DIGITS, 3)]
    if kind == 2:
        return [pick(LETTERS, 2) + " " + pick(DIGITS, 4)]
    if kind == 3:
        return [pick(DIGITS, 1) + pick(LETTERS, 3) + pick(DIGITS, 3)]
    if kind == 4:
        return [pick(LETTERS, 3), pick(DIGITS, 4)]
    return [pick(LETTERS, 2) + " " + pick(DIGITS, 2), pick(LETTERS, 3)]


def latin_plate(rng, yellow):
    lines = latin_text(rng)
    ground = (250, 204, 20) if yellow else (rng.randint(238, 252),) * 3
    colour = (16, 16, 16)
    two = len(lines) == 2
    w, h = (300 * MM, 190 * MM) if two else (520 * MM, 112 * MM)
    plate = Image.new("RGB", (w, h), ground)
    d = ImageDraw.Draw(plate)
    if rng.random() < 0.7:
        d.rectangle([4 * MM, 4 * MM, w - 4 * MM, h - 4 * MM], outline=tuple(int(c * 0.3) for c in ground),
                    width=int(1.5 * MM))
    height = 66 * MM if two else 76 * MM
    tops = [20 * MM, 104 * MM] if two else [18 * MM]
    for line, top in zip(lines, tops):
        glyphs = [ink(ch, height, width=int(height * 0.62)) if ch != " " else None for ch in line]
        advance = int(height * 0.72)
        total = sum(advance if g is not None else advance // 2 for g in glyphs)
        x = (w - total) // 2
        for g in glyphs:
            if g is not None:
                put(plate, g, x, top, colour)
                x += advance
            else:
                x += advance // 2
    return plate, " ".join(line.replace(" ", "") for line in lines)


def scene(rng):
    """A car's back: a body colour with a little shading, a bumper recess
    where the plate sits, a few lines of trim."""
    body = rng.choice([(30, 30, 34), (200, 200, 205), (235, 235, 232), (150, 20, 24), (30, 60, 120),
                       (110, 110, 112), (20, 90, 60), (210, 180, 120)])
    img = Image.new("RGB", SCENE, body)
    d = ImageDraw.Draw(img)
    for y in range(0, SCENE[1], 4):
        k = 0.85 + 0.3 * y / SCENE[1]
        d.rectangle([0, y, SCENE[0], y + 3], fill=tuple(min(255, int(c * k)) for c in body))
    for _ in range(rng.randint(2, 5)):
        y = rng.randint(20, SCENE[1] - 20)
        shade = tuple(int(c * rng.uniform(0.3, 0.7)) for c in body)
        d.rectangle([rng.randint(0, 200), y, rng.randint(600, 800), y + rng.randint(2, 10)], fill=shade)
    return img


def place(img, plate, rng, width, degrees):
    h = round(plate.height * width / plate.width)
    small = plate.resize((width, h), Image.LANCZOS).convert("RGBA")
    turned = small.rotate(degrees, resample=Image.BICUBIC, expand=True)
    cx = rng.randint(SCENE[0] // 2 - 120, SCENE[0] // 2 + 120)
    cy = rng.randint(SCENE[1] // 2 - 60, SCENE[1] // 2 + 120)
    if rng.random() < 0.6:  # a dark recess around the plate
        pad_x, pad_y = int(width * 0.12), int(h * 0.25)
        shade = rng.randint(25, 70)
        ImageDraw.Draw(img).rectangle([cx - width // 2 - pad_x, cy - h // 2 - pad_y, cx + width // 2 + pad_x,
                                       cy + h // 2 + pad_y], fill=(shade, shade, shade + 4))
    img.paste(turned, (cx - turned.width // 2, cy - turned.height // 2), turned)


def noise(img, rng, sigma):
    """Gaussian-like noise of the given standard deviation, from seeded
    uniform bytes (the sum of four is near enough to normal)."""
    bands = []
    for band in img.split():
        parts = [Image.frombytes("L", img.size, rng.randbytes(img.size[0] * img.size[1])) for _ in range(4)]
        n = ImageChops.add(ImageChops.add(parts[0], parts[1], scale=2), ImageChops.add(parts[2], parts[3], scale=2),
                           scale=2)
        k = sigma / 36.9
        n = n.point(lambda v: max(0, min(255, round(128 + (v - 127.5) * k))))
        bands.append(ImageChops.add(band, n, scale=1.0, offset=-128))
    return Image.merge("RGB", bands)


def spoil(img, rng, condition):
    if condition in ("blurred", "mixed"):
        img = img.filter(ImageFilter.GaussianBlur(rng.uniform(1.4, 2.0) if condition == "blurred" else 0.9))
    if condition == "dim":
        k, lift = rng.uniform(0.3, 0.4), rng.randint(8, 20)
        img = img.point(lambda v: int(v * k) + lift)
    if condition in ("noisy", "mixed"):
        img = noise(img, rng, rng.uniform(14, 20) if condition == "noisy" else 8)
    if condition in ("jpeg", "mixed"):
        buffer = io.BytesIO()
        img.save(buffer, "JPEG", quality=rng.randint(12, 20) if condition == "jpeg" else 40)
        img = Image.open(io.BytesIO(buffer.getvalue())).convert("RGB")
    return img


def make(out, style, condition, index, seed_set=""):
    seed = f"{style}/{condition}/{index}"
    rng = random.Random(seed if not seed_set else f"{seed_set}:{seed}")
    yellow = condition == "yellow"
    plate, expected = japanese_plate(rng, yellow) if style == "jp" else latin_plate(rng, yellow)
    img = scene(rng)
    if style == "jp":
        width = rng.randint(150, 180) if condition == "small" else rng.randint(290, 380)
    else:
        two = plate.width < plate.height * 2
        if condition == "small":
            width = rng.randint(120, 140) if two else rng.randint(210, 250)
        else:
            width = rng.randint(230, 290) if two else rng.randint(400, 480)
    if condition == "turned":
        degrees = rng.choice([-1, 1]) * rng.uniform(2.0, 5.0)
    elif condition == "mixed":
        degrees = rng.uniform(-3.0, 3.0)
    else:
        degrees = rng.uniform(-0.8, 0.8)
    place(img, plate, rng, width, degrees)
    img = spoil(img, rng, condition)
    name = f"{style}_{condition}_{index}"
    img.save(os.path.join(out, name + ".bmp"), "BMP")
    return f"{style}\t{name}\t{condition}\t{expected}\n"


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    per_jp = int(sys.argv[2]) if len(sys.argv) > 2 else 6
    per_latin = int(sys.argv[3]) if len(sys.argv) > 3 else 8
    seed_set = sys.argv[4] if len(sys.argv) > 4 else ""
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "list.txt"), "w", encoding="utf-8") as listing:
        for condition in CONDITIONS:
            for i in range(per_jp):
                listing.write(make(out, "jp", condition, i, seed_set))
            for i in range(per_latin):
                listing.write(make(out, "latin", condition, i, seed_set))


if __name__ == "__main__":
    main()
