-- Mixed loop, Lua's fast form: locals and a local function.
local i, x, s, n, b = 0, 0.0, "", 0, 0
local fmod = math.fmod

local function step()
  n = n + 1
end

while i < 1000000 do
  x = x + (i * 3 % 7) / 2
  s = "n" .. i
  step()
  b = fmod(i, 256)
  i = i + 1
end
print("checksum " .. i .. " " .. math.floor(x * 2) .. " " .. s .. " " .. #s .. " " .. n .. " " .. b)
