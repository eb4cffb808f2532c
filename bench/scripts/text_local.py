# Text building, Python's fast form: locals inside a function, f-strings.
def main():
    c, m, t = 0, 0, ""
    for i in range(200000):
        u = f"<{i}:{i % 97}>".replace(":", "=")
        n = len(u)
        t += u
        m = len(t)
        if m > 1000:
            t = t[m - 200:]
        c = (c * 31 + n + m) % 1000003
    print("checksum", c, m)


main()
