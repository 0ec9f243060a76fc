# The records that lib/json_text.py writes, as a list of dicts: the name
# records holds them.
records = []
x = 1
for i in range(1, 283001):
    x = (x * 1105 + 12345) % 1048576
    records.append({
        "id": i,
        "name": f"user-{x}",
        "email": f"user{x}@example.org",
        "score": x + 0.5,
        "tags": ["alpha", "beta", "gamma"],
        "active": x % 2 == 1,
        "parent": None,
        "note": 'line one\nline "two"',
    })
