-- Arrays, with global variables as in the script.
A = {}
SEED, C, K = 12345, 0, 0
while K < 50 do
  R = 1
  while R <= 10000 do
    SEED = (SEED * 1103 + 12345) % 65536
    A[R] = SEED
    R = R + 1
  end
  table.sort(A)
  R = 1
  while R <= 10000 do
    C = (C * 7 + A[R]) % 1000003
    R = R + 1
  end
  K = K + 1
end
print("checksum " .. C .. " " .. SEED)
