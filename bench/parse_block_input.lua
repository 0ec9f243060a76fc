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
print(#b .. " " .. x)
