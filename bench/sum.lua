local i = 0
local s = 0
while i < 10000000 do
  i = i + 1
  s = s + i
end
-- Vek's sum overflows its 32-bit integers into a float, printed as "N.0".
print(string.format("%.1f", s))
