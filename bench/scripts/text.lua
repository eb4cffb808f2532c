-- Text building, with global variables as in the script.
I, C, M, T = 0, 0, 0, ""
while I < 200000 do
  J = I % 97
  S = "<" .. I .. ":" .. J .. ">"
  U = string.gsub(S, ":", "=")
  L = #U
  T = T .. U
  M = #T
  if M > 1000 then
    T = string.sub(T, M - 199)
  end
  C = (C * 31 + L + M) % 1000003
  I = I + 1
end
print("checksum " .. C .. " " .. M)
