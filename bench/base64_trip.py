# Named so that it does not shadow the base64 module it imports.
import base64

data = bytes.fromhex("00FF7F80DEADBEEF") * 6553600
text = base64.b64encode(data)
back = base64.b64decode(text)
print(len(text), len(back), "true" if back == data else "false")
