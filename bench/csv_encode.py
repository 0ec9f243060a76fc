# Named so that it does not shadow the csv module it imports.
import csv
import io
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
from csv_rows import rows  # noqa: E402

out = io.StringIO()
csv.writer(out, lineterminator="\n").writerows(rows)
print(len(out.getvalue()))
