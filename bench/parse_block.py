class Word(str):
    """A word of the data, told apart from its strings by its type."""


names = [Word("alpha"), Word("beta"), Word("gamma"), Word("delta")]
b = []
x = 1
for i in range(400000):
    x = (x * 1105 + 12345) % 1048576
    b.append(names[(x >> 10) % 4])
    b.append(x)
    if (x >> 12) % 2 == 0:
        b.append("note")


# Python has no pattern matching over lists of values: the grammar (a word,
# an integer, an optional string, repeated) is walked by hand.
def match(b):
    kept = []
    notes = 0
    i, n = 0, len(b)
    while i < n:
        if type(b[i]) is not Word or i + 1 >= n or type(b[i + 1]) is not int:
            return False, kept, notes
        kept.append(b[i + 1])
        i += 2
        if i < n and type(b[i]) is str:
            notes += 1
            i += 1
    return len(kept) > 0, kept, notes


matched, kept, notes = match(b)
print("true" if matched else "false", len(b), len(kept), notes, kept[-1])
