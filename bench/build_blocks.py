b = []
for _ in range(5000000):
    b.append([1, 2, 3, 4, 5, 6, 7, 8, 9, 10])
print(len(b))
