local b = {}
local x = 1
for i = 1, 1000000 do
  x = (x * 1105 + 12345) % 1048576
  b[#b + 1] = x
end
print(string.format("%d %d", #b, x))
