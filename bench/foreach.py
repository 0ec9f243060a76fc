b = [1] * 1000000
n = 0
for _ in range(3):
    for x in b:
        n = n + x
print(n)
