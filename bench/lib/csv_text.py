# About 50 MB of CSV, built as lib/csv_text.vek builds it: the name text
# holds it.
parts = []
x = 1
for i in range(1, 624001):
    x = (x * 1105 + 12345) % 1048576
    active = "true" if x % 2 else "false"
    parts.append(f'{i},user-{x},user{x}@example.org,{x}.5,"a,b","say ""hi""",{active},line\n')
text = "".join(parts)
