# Counting loop, Python's fast form: a local variable inside a function.
def main():
    i = 0
    while i < 10000000:
        i = i + 1
    print("checksum", i)


main()
