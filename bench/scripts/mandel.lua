-- Mandelbrot set, with global variables as in the script.
TOTAL = 0
PY = 0
while PY < 400 do
  CI = PY * 2.0 / 400 - 1.0
  PX = 0
  while PX < 400 do
    CR = PX * 3.0 / 400 - 2.0
    ZR, ZI, K = 0.0, 0.0, 0
    while K < 100 and ZR * ZR + ZI * ZI <= 4.0 do
      T = ZR * ZR - ZI * ZI + CR
      ZI = 2.0 * ZR * ZI + CI
      ZR = T
      K = K + 1
    end
    TOTAL = TOTAL + K
    PX = PX + 1
  end
  PY = PY + 1
end
print("checksum " .. TOTAL)
