import zlib

x = 1


def rand(n):
    global x
    x = x * 48271 % 2147483647
    return (x >> 15) % n


syllables = ["ka", "lo", "ri", "ten", "sa", "mu", "de", "vin", "po", "al", "er", "in", "on", "ta", "ne", "sho",
             "ber", "la", "mi", "ges", "tu", "ro", "han", "di", "ve", "cor", "ple", "ast", "wi", "ny", "el", "quo"]
words = []
capitals = []
for i in range(4096):
    word = "".join([syllables[rand(32)] for _ in range(1 + rand(3))])
    words.append(word)
    capitals.append(word[:1].upper() + word[1:])
lines = []
for i in range(16384):
    parts = []
    length = 0
    capital = True
    while length < 64:
        word = (capitals if capital else words)[rand(64) * rand(64)]
        r = rand(16)
        capital = r == 0
        separator = ". " if r == 0 else ", " if r == 1 else " "
        parts += [word, separator]
        length += len(word) + len(separator)
    lines.append("".join(parts)[:-1] + "\n")
text = "".join([lines[rand(16384)] for _ in range(750000)])
data = text.encode()
packed = zlib.compress(data, 6)
print(len(data), "true" if len(packed) < len(data) else "false")
