import re

fields = ["abcdefghijklmnopq"[:i + 1] for i in range(1, 17)]
parts = []
x = 1
for row in range(125000):
    for col in range(1, 9):
        x = (x * 1105 + 12345) % 1048576
        parts.append(fields[(x >> 10) % 16])
        parts.append("\n" if col == 8 else ",")
text = "".join(parts)

# str.split on each line, then on its commas, is the other common way; the
# pattern does the whole text in one call.
found = re.findall(r"[^,\n]+", text)
print(len(found), sum(map(len, found)))
