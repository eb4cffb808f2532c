# Mandelbrot set, Python's fast form: locals inside a function, for loops.
def main():
    total = 0
    for py in range(400):
        ci = py * 2.0 / 400 - 1.0
        for px in range(400):
            cr = px * 3.0 / 400 - 2.0
            zr = zi = 0.0
            k = 0
            while k < 100 and zr * zr + zi * zi <= 4.0:
                zr, zi = zr * zr - zi * zi + cr, 2.0 * zr * zi + ci
                k += 1
            total += k
    print("checksum", total)


main()
