# In a function, as the loops of the other benchmarks: module-level names
# are dictionary look-ups of their own.
def run():
    m = {}
    for i in range(1, 1000001):
        m[str(i)] = i
    n = 0
    for i in range(1, 1000001):
        if m.get(str(i)) == i:
            n += 1
    return len(m), n

print(*run())
