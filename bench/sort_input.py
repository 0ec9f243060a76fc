b = []
x = 1
for i in range(1000000):
    x = (x * 1105 + 12345) % 1048576
    b.append(x)
print(len(b), x)
