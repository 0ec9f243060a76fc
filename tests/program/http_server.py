"""A small HTTP server on 127.0.0.1 for the tests of HTTP requests.

Run as `http_server.py COMMAND...`: the server listens on a free port, runs
the command with VEK_TEST_HTTP set to its base URL and VEK_TEST_HTTP_CLOSED
to the URL of a port where nothing listens, and ends with the command's exit
status once it ends. Run without a command, it prints its port and serves
until it has been idle for a few seconds.

What it answers, by path:
  /echo...         the request: method, path, headers (but Host) and body, as text
  /status/N        status N, body "status N"
  /headers         a response whose header lines are written raw: bare LF
                   line ends, a repeated header, one without a space after its
                   colon, one whose name is no word and one in Latin-1
  /redirect/N      a redirect to /redirect/N-1 (a header X-Hop on each); /redirect/0
                   answers "landed"
  /delay/S         the body "late" after S seconds (at most 10)
  /back            the request body sent back
  /close           no answer: the connection is closed
  /load/png        a PNG image of 2x1 pixels, as image/png; /load/ anything
                   else: "[a b] 3" as text/plain
"""

import os
import socket
import struct
import subprocess
import sys
import threading
import time
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

IDLE_SECONDS = 5
LONGEST_BODY = 1 << 20
last_request = time.monotonic()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    timeout = 5

    def log_message(self, *args):
        pass

    def answer(self, status, body, headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def request_body(self):
        length = min(int(self.headers.get("Content-Length", 0)), LONGEST_BODY)
        return self.rfile.read(length) if length > 0 else b""

    def echo(self, _):
        lines = [self.command + " " + self.path]
        lines += ["%s: %s" % pair for pair in self.headers.items() if pair[0] != "Host"]
        text = "\n".join(lines).encode() + b"\n\n" + self.request_body()
        self.answer(200, text, [("Content-Type", "text/plain")])

    def status(self, code):
        self.answer(int(code), b"status " + code.encode())

    def raw_headers(self, _):
        body = b"ok"
        self.wfile.write(b"HTTP/1.1 200 OK\n"
                         b"Content-Length: 2\n"
                         b"Set-Cookie: a=1\n"
                         b"X-Tight:value\n"
                         b"set-cookie: b=2\r\n"
                         b"X-Bad[1]: skipped\n"
                         b"X-Single:  one  \n"
                         b"X-Latin: caf\xe9\n"
                         b"\n" + body)

    def redirect(self, hops):
        if int(hops) <= 0:
            self.answer(200, b"landed", [("Content-Type", "text/plain")])
        else:
            self.answer(302, b"", [("Location", "/redirect/%d" % (int(hops) - 1)), ("X-Hop", hops)])

    def delay(self, seconds):
        time.sleep(min(float(seconds), 10))
        self.answer(200, b"late")

    def back(self, _):
        self.answer(200, self.request_body(), [("Content-Type", "application/octet-stream")])

    def close(self, _):
        self.close_connection = True

    def load(self, kind):
        if kind == "png":
            self.answer(200, tiny_png(), [("Content-Type", "image/png")])
        else:
            self.answer(200, b"[a b] 3", [("Content-Type", "text/plain")])

    ROUTES = {"echo": echo, "status": status, "headers": raw_headers, "redirect": redirect,
              "delay": delay, "back": back, "close": close, "load": load}

    def serve(self):
        global last_request
        last_request = time.monotonic()
        parts = self.path.split("?")[0].strip("/").split("/")
        route = self.ROUTES.get(parts[0])
        if route is None:
            self.answer(404, b"not found")
        else:
            route(self, parts[1] if len(parts) > 1 else "")

    do_GET = do_HEAD = do_POST = do_PUT = do_DELETE = do_PATCH = do_OPTIONS = serve


def tiny_png():
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", 2, 1, 8, 2, 0, 0, 0)
    pixels = zlib.compress(b"\x00\xff\x00\x00\x00\x00\xff")
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", pixels) + chunk(b"IEND", b"")


def closed_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def main():
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    port = server.server_address[1]
    threading.Thread(target=server.serve_forever, daemon=True).start()
    if len(sys.argv) > 1:
        env = dict(os.environ, VEK_TEST_HTTP="http://127.0.0.1:%d" % port,
                   VEK_TEST_HTTP_CLOSED="http://127.0.0.1:%d/" % closed_port(),
                   NO_PROXY="*", no_proxy="*")
        sys.exit(subprocess.call(sys.argv[1:], env=env))
    print(port, flush=True)
    while time.monotonic() - last_request < IDLE_SECONDS:
        time.sleep(0.5)


if __name__ == "__main__":
    main()
