-- Subroutines, Lua's fast form: local functions with arguments and results.
local function work(a)
  return (a * 3) % 1000
end

local function deep(level, acc)
  if level < 20 then
    acc = deep(level + 1, acc)
  end
  return (acc * 3 + level) % 1000003
end

local acc = 0
for i = 0, 999999 do
  acc = (acc + work(i)) % 1000003
  if i % 1000 == 0 then
    acc = deep(1, acc)
  end
end
print("checksum " .. acc)
