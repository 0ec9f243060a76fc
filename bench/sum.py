i = 0
s = 0
while i < 10000000:
    i = i + 1
    s = s + i
# Vek's sum overflows its 32-bit integers into a float, printed as "N.0".
print(float(s))
