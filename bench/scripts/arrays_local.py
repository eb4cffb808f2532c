# Arrays, Python's fast form: locals inside a function, for loops.
def main():
    a = [0] * 10000
    seed, c = 12345, 0
    for _ in range(50):
        for r in range(10000):
            seed = (seed * 1103 + 12345) % 65536
            a[r] = seed
        a.sort()
        for v in a:
            c = (c * 7 + v) % 1000003
    print("checksum", c, seed)


main()
