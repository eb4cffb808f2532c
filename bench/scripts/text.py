# Text building, with module-level variables as in the script.
I, C, M, T = 0, 0, 0, ""
while I < 200000:
    J = I % 97
    S = "<" + str(I) + ":" + str(J) + ">"
    U = S.replace(":", "=")
    L = len(U)
    T = T + U
    M = len(T)
    if M > 1000:
        T = T[M - 200:]
    C = (C * 31 + L + M) % 1000003
    I = I + 1
print("checksum", C, M)
