def inc(n):
    return n + 1

n = 0
for _ in range(1000000):
    n = inc(n)
print(n)
