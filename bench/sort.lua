local b = {}
local x = 1
for i = 1, 1000000 do
  x = (x * 1105 + 12345) % 1048576
  b[#b + 1] = x
end
table.sort(b)
print(string.format("%d %d %d %d", #b, b[1], b[500000], b[1000000]))
