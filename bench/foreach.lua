local b = {}
for i = 1, 1000000 do b[i] = 1 end
local n = 0
for _ = 1, 3 do
  for _, x in ipairs(b) do n = n + x end
end
print(n)
