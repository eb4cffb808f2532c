-- Mandelbrot set, Lua's fast form: locals and numeric for loops.
local total = 0
for py = 0, 399 do
  local ci = py * 2.0 / 400 - 1.0
  for px = 0, 399 do
    local cr = px * 3.0 / 400 - 2.0
    local zr, zi, k = 0.0, 0.0, 0
    while k < 100 and zr * zr + zi * zi <= 4.0 do
      zr, zi = zr * zr - zi * zi + cr, 2.0 * zr * zi + ci
      k = k + 1
    end
    total = total + k
  end
end
print("checksum " .. total)
