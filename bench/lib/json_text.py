# About 50 MB of JSON, built as lib/json_text.vek builds it: the name text
# holds it.
parts = ["["]
x = 1
for i in range(1, 283001):
    x = (x * 1105 + 12345) % 1048576
    if i > 1:
        parts.append(",")
    active = "true" if x % 2 else "false"
    parts.append(
        f'{{"id":{i},"name":"user-{x}","email":"user{x}@example.org","score":{x}.5,'
        f'"tags":["alpha","beta","gamma"],"active":{active},"parent":null,'
        '"note":"line one\\nline \\"two\\""}'
    )
parts.append("]")
text = "".join(parts)
