def find_first(limit):
    for i in range(1, 11):
        if i == limit:
            return i
    return 0

n = 0
for k in range(1000000):
    n = n + find_first(3)
print(n)
