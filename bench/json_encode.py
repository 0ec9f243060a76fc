# Named so that it does not shadow the json module it imports.
import json
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
from json_values import records  # noqa: E402

text = json.dumps(records, separators=(",", ":"), ensure_ascii=False)
print(len(text))
