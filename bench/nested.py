n = 0
for i in range(1, 2001):
    for j in range(1, 1001):
        n = n + 1
print(n)
