# Subroutines, Python's fast form: arguments and return values.
def work(a):
    return (a * 3) % 1000


def deep(level, acc):
    if level < 20:
        acc = deep(level + 1, acc)
    return (acc * 3 + level) % 1000003


def main():
    acc = 0
    for i in range(1000000):
        acc = (acc + work(i)) % 1000003
        if i % 1000 == 0:
            acc = deep(1, acc)
    print("checksum", acc)


main()
