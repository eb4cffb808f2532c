# Mixed loop, with module-level variables as in the script.
import operator

I, X, S, N, B = 0, 0.0, "", 0, 0


def step():
    global N
    N = N + 1


while I < 1000000:
    X = X + (I * 3 % 7) / 2
    S = "n" + str(I)
    step()
    B = operator.and_(I, 255)
    I = I + 1
print("checksum", I, int(X * 2), S, len(S), N, B)
