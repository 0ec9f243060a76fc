# Named so that it does not shadow the json module it imports.
import json
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
from json_text import text  # noqa: E402

records = json.loads(text)
names = sum(len(r["name"]) for r in records)
active = sum(1 for r in records if r["active"])
print(len(records), names, active)
