-- Mixed loop, with global variables as in the script.
I, X, S, N, B = 0, 0.0, "", 0, 0

function Step()
  N = N + 1
end

while I < 1000000 do
  X = X + (I * 3 % 7) / 2
  S = "n" .. I
  Step()
  B = math.fmod(I, 256)
  I = I + 1
end
print("checksum " .. I .. " " .. math.floor(X * 2) .. " " .. S .. " " .. #S .. " " .. N .. " " .. B)
