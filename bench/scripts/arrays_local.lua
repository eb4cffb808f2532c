-- Arrays, Lua's fast form: locals and numeric for loops.
local sort = table.sort
local a = {}
local seed, c = 12345, 0
for _ = 1, 50 do
  for r = 1, 10000 do
    seed = (seed * 1103 + 12345) % 65536
    a[r] = seed
  end
  sort(a)
  for r = 1, 10000 do
    c = (c * 7 + a[r]) % 1000003
  end
end
print("checksum " .. c .. " " .. seed)
