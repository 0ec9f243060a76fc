local function find_first(limit)
  for i = 1, 10 do
    if i == limit then return i end
  end
  return 0
end
local n = 0
for k = 1, 1000000 do n = n + find_first(3) end
print(n)
