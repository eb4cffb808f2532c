-- Counting loop, with a global variable as in the script.
I = 0
while I < 10000000 do
  I = I + 1
end
print("checksum " .. I)
