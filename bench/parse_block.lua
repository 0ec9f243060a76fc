-- Words are tables, told apart from the strings of the data by their type.
local names = { { "alpha" }, { "beta" }, { "gamma" }, { "delta" } }
local b = {}
local x = 1
for i = 1, 400000 do
  x = (x * 1105 + 12345) % 1048576
  b[#b + 1] = names[1 + (x >> 10) % 4]
  b[#b + 1] = x
  if (x >> 12) % 2 == 0 then b[#b + 1] = "note" end
end

-- Lua's string patterns do not apply to tables: the grammar (a word, an
-- integer, an optional string, repeated) is walked by hand.
local function match(b)
  local kept, notes, i, n = {}, 0, 1, #b
  while i <= n do
    if type(b[i]) ~= "table" or math.type(b[i + 1]) ~= "integer" then return false, kept, notes end
    kept[#kept + 1] = b[i + 1]
    i = i + 2
    if type(b[i]) == "string" then
      notes = notes + 1
      i = i + 1
    end
  end
  return #kept > 0, kept, notes
end

local matched, kept, notes = match(b)
print(tostring(matched) .. " " .. #b .. " " .. #kept .. " " .. notes .. " " .. kept[#kept])
