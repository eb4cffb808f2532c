# Arrays, with module-level variables as in the script.
A = [0] * 10000
SEED, C, K = 12345, 0, 0
while K < 50:
    R = 0
    while R < 10000:
        SEED = (SEED * 1103 + 12345) % 65536
        A[R] = SEED
        R = R + 1
    A.sort()
    R = 0
    while R < 10000:
        C = (C * 7 + A[R]) % 1000003
        R = R + 1
    K = K + 1
print("checksum", C, SEED)
