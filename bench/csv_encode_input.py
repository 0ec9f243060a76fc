import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
from csv_rows import rows  # noqa: E402

print(len(rows))
