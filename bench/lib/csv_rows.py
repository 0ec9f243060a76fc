# The lines that lib/csv_text.py writes, as a list of lists of strings: the
# name rows holds them.
rows = []
x = 1
for i in range(1, 624001):
    x = (x * 1105 + 12345) % 1048576
    rows.append([str(i), f"user-{x}", f"user{x}@example.org", f"{x}.5", "a,b", 'say "hi"',
                 "true" if x % 2 else "false", "line"])
