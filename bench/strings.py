# Appending to a string in place needs a local variable: at module level
# every += copies the whole string.
def build():
    s = ""
    for i in range(1, 1000001):
        s += "x"
    return s

print(len(build()))
