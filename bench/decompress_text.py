import os
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
from prose import text  # noqa: E402

data = text.encode()
packed = zlib.compress(data, 6)
unpacked = zlib.decompress(packed)
print(len(unpacked), "true" if unpacked == data else "false")
