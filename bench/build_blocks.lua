local b = {}
for _ = 1, 5000000 do b[#b + 1] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10} end
print(#b)
