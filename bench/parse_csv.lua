local fields = {}
for i = 1, 16 do fields[i] = string.sub("abcdefghijklmnopq", 1, i + 1) end
local parts = {}
local x = 1
for row = 1, 125000 do
  for col = 1, 8 do
    x = (x * 1105 + 12345) % 1048576
    parts[#parts + 1] = fields[1 + (x >> 10) % 16]
    parts[#parts + 1] = col == 8 and "\n" or ","
  end
end
local text = table.concat(parts)

local found = {}
for f in string.gmatch(text, "[^,\n]+") do found[#found + 1] = f end
local total = 0
for i = 1, #found do total = total + #found[i] end
print(#found .. " " .. total)
