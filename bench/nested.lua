local n = 0
for i = 1, 2000 do
  for j = 1, 1000 do n = n + 1 end
end
print(n)
