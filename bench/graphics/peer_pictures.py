#!/usr/bin/python3
"""peer_pictures.py RUNS: the operations of peer_pictures_bench.cpp in OpenCV,
cairo and PIL on the same 1920 x 1080 picture, timed in process.

Prints one line a result, "NAME PEER MILLISECONDS", the best of RUNS timings
of the CPU time the process used (every thread), so that another program's
load on the machine counts as little as it can. OpenCV is held to one thread
(cv2.setNumThreads(1)) to match VEXMORA_THREADS=1 on our side.
"""
import io
import math
import random
import sys
import time

import numpy as np

RUNS = int(sys.argv[1]) if len(sys.argv) > 1 else 5
W, H = 1920, 1080
LINES, SHAPES, TEXTS = 1000, 200, 200
TEXT = "Hello, world 0123456789"


def photo():
    y, x = np.mgrid[0:H, 0:W].astype(np.float64)
    d = np.hypot(x - 960.0, y - 540.0)
    b = (128 + 127 * np.sin(d / 40)).astype(np.uint8)
    g = (128 + 127 * np.sin(x / 90.0)).astype(np.uint8)
    r = (128 + 127 * np.cos(y / 70.0)).astype(np.uint8)
    return np.dstack([b, g, r]).copy()


def points(n):
    rnd = random.Random(7)
    return [(rnd.randrange(W), rnd.randrange(H)) for _ in range(n)]


def best(fn, setup=None):
    times = []
    for _ in range(RUNS):
        state = setup() if setup else None
        start = time.process_time()
        fn(state)
        times.append(time.process_time() - start)
    return min(times) * 1000.0


def report(name, peer, ms):
    print(f"{name} {peer} {ms:.3f}", flush=True)


def opencv(img):
    import cv2
    cv2.setNumThreads(1)
    p = points(2 * LINES)
    s = points(SHAPES)

    def lines(_):
        for i in range(LINES):
            cv2.line(img, p[2 * i], p[2 * i + 1], (i % 256, 80, 200), 1)

    def shapes(_):
        for i, c in enumerate(s):
            colour = (i % 256, 160, 40)
            cv2.ellipse(img, c, (50 + i % 100, 30 + i % 80), 0, 0, 360, colour, -1)
            cv2.rectangle(img, c, (c[0] + 120, c[1] + 80), colour, -1)

    def text(_):
        for i in range(TEXTS):
            cv2.putText(img, TEXT, ((i * 37) % 1600, (i * 53) % 1040 + 20), cv2.FONT_HERSHEY_SIMPLEX, 0.8,
                        (20, 20, 20), 1, cv2.LINE_AA)

    bmp = cv2.imencode(".bmp", img)[1]
    jpg = cv2.imencode(".jpg", img, [cv2.IMWRITE_JPEG_QUALITY, 75])[1]
    small = cv2.resize(img, (1280, 720), interpolation=cv2.INTER_AREA)
    turn = cv2.getRotationMatrix2D((959.5, 539.5), 30, 1.0)
    cos, sin = math.cos(math.radians(30)), math.sin(math.radians(30))
    bw, bh = int(math.ceil(W * cos + H * sin)), int(math.ceil(W * sin + H * cos))
    turn[0, 2] += bw / 2 - 959.5
    turn[1, 2] += bh / 2 - 539.5
    report("lines", "opencv", best(lines))
    report("filled_shapes", "opencv", best(shapes))
    report("text", "opencv", best(text))
    report("bmp_save", "opencv", best(lambda _: cv2.imencode(".bmp", img)))
    report("bmp_load", "opencv", best(lambda _: cv2.imdecode(bmp, cv2.IMREAD_COLOR)))
    report("jpeg_save", "opencv", best(lambda _: cv2.imencode(".jpg", img, [cv2.IMWRITE_JPEG_QUALITY, 75])))
    report("jpeg_load", "opencv", best(lambda _: cv2.imdecode(jpg, cv2.IMREAD_COLOR)))
    report("rotate", "opencv", best(lambda _: cv2.warpAffine(img, turn, (bw, bh), flags=cv2.INTER_LINEAR)))
    report("zoom_up", "opencv", best(lambda _: cv2.resize(small, (W, H), interpolation=cv2.INTER_LINEAR)))
    report("zoom_down", "opencv", best(lambda _: cv2.resize(img, (1280, 720), interpolation=cv2.INTER_AREA)))
    report("blur", "opencv", best(lambda _: cv2.blur(img, (5, 5))))
    report("median", "opencv", best(lambda _: cv2.medianBlur(img, 3)))
    report("grey", "opencv", best(lambda _: cv2.cvtColor(cv2.cvtColor(img, cv2.COLOR_BGR2GRAY), cv2.COLOR_GRAY2BGR)))
    report("negative", "opencv", best(lambda _: cv2.bitwise_not(img)))
    report("swap_red_blue", "opencv", best(lambda _: cv2.cvtColor(img, cv2.COLOR_BGR2RGB)))
    sepia = np.array([[0.131, 0.534, 0.272], [0.168, 0.686, 0.349], [0.189, 0.769, 0.393]])
    report("sepia", "opencv", best(lambda _: cv2.transform(img, sepia)))
    report("histogram", "opencv",
           best(lambda _: [cv2.calcHist([img], [c], None, [256], [0, 256]) for c in range(3)]))


def cairo_peer():
    import cairo
    surface = cairo.ImageSurface(cairo.FORMAT_RGB24, W, H)
    ctx = cairo.Context(surface)
    p = points(2 * LINES)
    s = points(SHAPES)

    def lines(_):
        ctx.set_line_width(1)
        for i in range(LINES):
            ctx.set_source_rgb(200 / 255, 80 / 255, (i % 256) / 255)
            ctx.move_to(p[2 * i][0] + 0.5, p[2 * i][1] + 0.5)
            ctx.line_to(p[2 * i + 1][0] + 0.5, p[2 * i + 1][1] + 0.5)
            ctx.stroke()

    def shapes(_):
        for i, c in enumerate(s):
            ctx.set_source_rgb(40 / 255, 160 / 255, (i % 256) / 255)
            ctx.save()
            ctx.translate(c[0], c[1])
            ctx.scale(50 + i % 100, 30 + i % 80)
            ctx.arc(0, 0, 1, 0, 2 * math.pi)
            ctx.restore()
            ctx.fill()
            ctx.rectangle(c[0], c[1], 121, 81)
            ctx.fill()

    def text(_):
        ctx.select_font_face("Liberation Sans")
        ctx.set_font_size(24)
        ctx.set_source_rgb(20 / 255, 20 / 255, 20 / 255)
        for i in range(TEXTS):
            ctx.move_to((i * 37) % 1600, (i * 53) % 1040 + 20)
            ctx.show_text(TEXT)

    report("lines", "cairo", best(lines))
    report("filled_shapes", "cairo", best(shapes))
    report("text", "cairo", best(text))


def pil_peer(img):
    from PIL import Image, ImageDraw, ImageFilter, ImageFont, ImageOps
    picture = Image.fromarray(img[:, :, ::-1].copy(), "RGB")
    p = points(2 * LINES)
    s = points(SHAPES)
    draw = ImageDraw.Draw(picture)

    def lines(_):
        for i in range(LINES):
            draw.line([p[2 * i], p[2 * i + 1]], fill=(200, 80, i % 256), width=1)

    def shapes(_):
        for i, c in enumerate(s):
            colour = (40, 160, i % 256)
            a, b = 50 + i % 100, 30 + i % 80
            draw.ellipse([c[0] - a, c[1] - b, c[0] + a, c[1] + b], fill=colour)
            draw.rectangle([c[0], c[1], c[0] + 120, c[1] + 80], fill=colour)

    try:
        font = ImageFont.truetype("LiberationSans-Regular.ttf", 24)
    except OSError:
        font = None

    def text(_):
        for i in range(TEXTS):
            draw.text(((i * 37) % 1600, (i * 53) % 1040), TEXT, fill=(20, 20, 20), font=font)

    def encoded(kind, **options):
        out = io.BytesIO()
        picture.save(out, kind, **options)
        return out.getvalue()

    def load(data):
        image = Image.open(io.BytesIO(data))
        image.load()

    bmp = encoded("BMP")
    jpg = encoded("JPEG", quality=75)
    small = picture.resize((1280, 720), Image.BOX)
    report("lines", "pil", best(lines))
    report("filled_shapes", "pil", best(shapes))
    if font is not None:
        report("text", "pil", best(text))
    report("bmp_save", "pil", best(lambda _: encoded("BMP")))
    report("bmp_load", "pil", best(lambda _: load(bmp)))
    report("jpeg_save", "pil", best(lambda _: encoded("JPEG", quality=75)))
    report("jpeg_load", "pil", best(lambda _: load(jpg)))
    report("rotate", "pil", best(lambda _: picture.rotate(30, Image.BILINEAR, expand=True)))
    report("zoom_up", "pil", best(lambda _: small.resize((W, H), Image.BILINEAR)))
    report("zoom_down", "pil", best(lambda _: picture.resize((1280, 720), Image.BOX)))
    report("blur", "pil", best(lambda _: picture.filter(ImageFilter.BoxBlur(2))))
    report("median", "pil", best(lambda _: picture.filter(ImageFilter.MedianFilter(3))))
    report("grey", "pil", best(lambda _: picture.convert("L").convert("RGB")))
    report("negative", "pil", best(lambda _: ImageOps.invert(picture)))
    report("swap_red_blue", "pil", best(lambda _: Image.merge("RGB", picture.split()[::-1])))
    sepia = (0.393, 0.769, 0.189, 0, 0.349, 0.686, 0.168, 0, 0.272, 0.534, 0.131, 0)
    report("sepia", "pil", best(lambda _: picture.convert("RGB", sepia)))
    report("histogram", "pil", best(lambda _: picture.histogram()))


def main():
    img = photo()
    for peer in (lambda: opencv(img.copy()), cairo_peer, lambda: pil_peer(img)):
        try:
            peer()
        except ImportError as e:
            print(f"# skipped: {e}", file=sys.stderr)


if __name__ == "__main__":
    main()
