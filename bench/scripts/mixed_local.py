# Mixed loop, Python's fast form: locals inside a function.
import operator


def main():
    i, x, s, b = 0, 0.0, "", 0
    n = [0]
    and_ = operator.and_

    def step():
        n[0] += 1

    while i < 1000000:
        x = x + (i * 3 % 7) / 2
        s = "n" + str(i)
        step()
        b = and_(i, 255)
        i = i + 1
    print("checksum", i, int(x * 2), s, len(s), n[0], b)


main()
