# Named so that it does not shadow the csv module it imports.
import csv
import io
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
from csv_text import text  # noqa: E402

rows = list(csv.reader(io.StringIO(text)))
total = sum(len(value) for row in rows for value in row)
print(len(rows), total)
