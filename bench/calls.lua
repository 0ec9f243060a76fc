local function inc(n)
  return n + 1
end
local n = 0
for _ = 1, 1000000 do n = inc(n) end
print(n)
