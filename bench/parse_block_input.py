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
print(len(b), x)
