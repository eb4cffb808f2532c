# Mandelbrot set, with module-level variables as in the script.
TOTAL = 0
PY = 0
while PY < 400:
    CI = PY * 2.0 / 400 - 1.0
    PX = 0
    while PX < 400:
        CR = PX * 3.0 / 400 - 2.0
        ZR = 0.0
        ZI = 0.0
        K = 0
        while K < 100 and ZR * ZR + ZI * ZI <= 4.0:
            T = ZR * ZR - ZI * ZI + CR
            ZI = 2.0 * ZR * ZI + CI
            ZR = T
            K = K + 1
        TOTAL = TOTAL + K
        PX = PX + 1
    PY = PY + 1
print("checksum", TOTAL)
