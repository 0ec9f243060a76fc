-- Lua strings are immutable: a buffer table joined once is its way to build one.
local parts = {}
for i = 1, 1000000 do parts[#parts + 1] = "x" end
local s = table.concat(parts)
print(#s)
