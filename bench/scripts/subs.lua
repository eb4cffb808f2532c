-- Subroutines, passing values through global variables as the script does.
I, A, R, ACC, LEVEL = 0, 0, 0, 0, 0

function Work()
  R = (A * 3) % 1000
end

function Deep()
  LEVEL = LEVEL + 1
  if LEVEL < 20 then
    Deep()
  end
  ACC = (ACC * 3 + LEVEL) % 1000003
  LEVEL = LEVEL - 1
end

while I < 1000000 do
  A = I
  Work()
  ACC = (ACC + R) % 1000003
  if I % 1000 == 0 then
    Deep()
  end
  I = I + 1
end
print("checksum " .. ACC)
