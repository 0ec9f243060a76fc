import os
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
from prose import text  # noqa: E402

packed = zlib.compress(text.encode(), 6)
print(len(text), "true" if len(packed) < len(text) else "false")
