-- A table has no count of its keys: the puts count them as they add.
local m, size = {}, 0
for i = 1, 1000000 do
  local key = tostring(i)
  if m[key] == nil then size = size + 1 end
  m[key] = i
end
local n = 0
for i = 1, 1000000 do
  if m[tostring(i)] == i then n = n + 1 end
end
print(size .. " " .. n)
