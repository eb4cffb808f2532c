# Subroutines, passing values through module-level variables as the script
# does.
I, A, R, ACC, LEVEL = 0, 0, 0, 0, 0


def work():
    global R
    R = (A * 3) % 1000


def deep():
    global ACC, LEVEL
    LEVEL = LEVEL + 1
    if LEVEL < 20:
        deep()
    ACC = (ACC * 3 + LEVEL) % 1000003
    LEVEL = LEVEL - 1


while I < 1000000:
    A = I
    work()
    ACC = (ACC + R) % 1000003
    if I % 1000 == 0:
        deep()
    I = I + 1
print("checksum", ACC)
