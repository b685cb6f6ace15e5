#!/usr/bin/env python3
"""Local HTTP server for the web tests (127.0.0.1 only, a free port).

  webserver.py start STATE_DIR   starts a server in the background, writes its
                                 port to STATE_DIR/port and its process id to
                                 STATE_DIR/pid, and returns once it listens
  webserver.py stop STATE_DIR    stops the server started there
  webserver.py serve STATE_DIR   runs the server in the foreground

The server ends by itself after --lifetime seconds (a guard for a test run
that never reaches its stop step). Paths:

  /doc                  a short text document
  /nul                  a text with a zero byte in the middle
  /status/<code>        that status with a short body
  /redirect/<code>      that redirect status, Location: /doc
  /chunked              a body in chunked transfer encoding
  /exact/<n>            n bytes with Content-Length on a kept-alive connection
  /pattern/<n>          n bytes of pattern(i) = (i * 7 + i // 251) & 0xFF
  /echo                 the request line and headers as received, as the body
                        (206 when a range was asked for)
  /file                 /pattern content (200000 bytes), honours "Range: bytes=N-"
  /norange              the same content, ignores the range
  /stall-headers        reads the request and never answers
  /stall-body           headers for 100000 bytes, 1000 bytes, then nothing
  /slow                 10 blocks of 4096 bytes, one every 0.5 s
  /endless              chunked blocks without end
  /update/<name>.xml    update information variants (see UPDATES)
"""
import http.server
import os
import select
import signal
import socket
import socketserver
import subprocess
import sys
import time

FILE_SIZE = 200000
STALL_LIMIT = 90  # seconds a stalling handler waits at most

UPDATES = {
    "newer": '<?xml version="1.0"?>\n<Updates><Application Version="1.12.0" Level="3">'
             '<URL>http://127.0.0.1/download/reelsmith-1.12.0.exe</URL>'
             '<Description>Faster encoding.\\nNew formats.\\nFixes.</Description>'
             '</Application></Updates>',
    "equal": '<Updates><Application Version="1.11.0"><URL>http://127.0.0.1/d</URL></Application></Updates>',
    "older": '<Updates><Application Version="1.10.9"><URL>http://127.0.0.1/d</URL></Application></Updates>',
    # 1.9.x is older than 1.11.0 when compared as numbers, newer as text.
    "numeric-older": '<Updates><Application Version="1.9.12"><URL>http://127.0.0.1/d</URL></Application></Updates>',
    "numeric-newer": '<Updates><Application Version="1.100.0"><URL>https://127.0.0.1/d</URL></Application></Updates>',
    "no-url": '<Updates><Application Version="2.0.0"><Description>x</Description></Application></Updates>',
    "empty-url": '<Updates><Application Version="2.0.0"><URL></URL></Application></Updates>',
    "no-version": '<Updates><Application><URL>http://127.0.0.1/d</URL></Application></Updates>',
    "empty-version": '<Updates><Application Version=""><URL>http://127.0.0.1/d</URL></Application></Updates>',
    "wrong-root": '<Update><Application Version="2.0.0"><URL>http://127.0.0.1/d</URL></Application></Update>',
    "malformed": '<Updates><Application Version="2.0.0"><URL>http://127.0.0.1/d</URL></Application>',
    "file-url": '<Updates><Application Version="2.0.0"><URL>file:///C:/windows/system32/calc.exe</URL>'
                '</Application></Updates>',
    "unc-path": '<Updates><Application Version="2.0.0"><URL>\\\\server\\share\\setup.exe</URL>'
                '</Application></Updates>',
    "local-path": '<Updates><Application Version="2.0.0"><URL>C:\\windows\\system32\\calc.exe</URL>'
                  '</Application></Updates>',
}

# Notes beyond ASCII, in the encodings the documents declare (sent as bytes).
NOTES = '<Updates><Application Version="1.12.0"><URL>http://127.0.0.1/d</URL>' \
        '<Description>%s</Description></Application></Updates>'
UPDATES["notes-utf8"] = ('<?xml version="1.0" encoding="UTF-8"?>\n' +
                         NOTES % "F\u00fcr \u00c4rzte \u2013 \u65e5\u672c\u8a9e").encode("utf-8")
UPDATES["notes-utf16"] = ('<?xml version="1.0" encoding="UTF-16"?>\n' +
                          NOTES % "F\u00fcr \u00c4rzte \u2013 \u65e5\u672c\u8a9e").encode("utf-16")
UPDATES["notes-latin1"] = ('<?xml version="1.0" encoding="ISO-8859-1"?>\n' +
                           NOTES % "F\u00fcr \u00c4rzte").encode("latin-1")


def pattern(n, start=0):
    return bytes(((i * 7 + i // 251) & 0xFF) for i in range(start, n))


FILE_DATA = pattern(FILE_SIZE)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        pass

    def send_body(self, body, status=200, ctype="application/octet-stream", extra=()):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for k, v in extra:
            self.send_header(k, v)
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()

    def wait_for_close(self, limit=STALL_LIMIT):
        """Waits until the client closes the connection (or the limit passes)."""
        conn = self.connection
        end = time.time() + limit
        while time.time() < end:
            r, _, _ = select.select([conn], [], [], 0.2)
            if r:
                try:
                    if not conn.recv(4096):
                        return
                except OSError:
                    return
        self.close_connection = True

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        parts = path.strip("/").split("/")
        head = parts[0]
        try:
            if head == "doc":
                self.send_body(b"Hello from the test server.\r\n", ctype="text/plain")
            elif head == "nul":
                self.send_body(b"before\x00after", ctype="text/plain")
            elif head == "status":
                code = int(parts[1])
                self.send_body(("status %d" % code).encode(), status=code, ctype="text/plain")
            elif head == "redirect":
                code = int(parts[1])
                self.send_body(b"moved", status=code, ctype="text/plain", extra=[("Location", "/doc")])
            elif head == "chunked":
                self.send_response(200)
                self.send_header("Content-Type", "text/plain")
                self.send_header("Transfer-Encoding", "chunked")
                self.end_headers()
                for piece in (b"first piece;", b"second, longer piece;" * 50, b"last."):
                    self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
                    self.wfile.flush()
                self.wfile.write(b"0\r\n\r\n")
                self.wfile.flush()
            elif head == "exact":
                n = int(parts[1])
                # The connection stays open: a client that reads past the
                # length waits for bytes that never come.
                self.send_body(pattern(n), extra=[("Connection", "keep-alive")])
            elif head == "pattern":
                self.send_body(pattern(int(parts[1])))
            elif head == "echo":
                text = self.requestline + "\r\n" + "".join("%s: %s\r\n" % (k, v) for k, v in self.headers.items())
                # A range request is answered as partial content, so a client
                # that asked for the rest reads it.
                status = 206 if self.headers.get("Range") else 200
                self.send_body(text.encode("latin-1"), status=status, ctype="text/plain")
            elif head == "file" or head == "norange":
                rng = self.headers.get("Range")
                if head == "file" and rng and rng.startswith("bytes=") and rng.endswith("-"):
                    start = int(rng[6:-1])
                    if start >= FILE_SIZE:
                        self.send_body(b"", status=416)
                        return
                    self.send_body(FILE_DATA[start:], status=206,
                                   extra=[("Accept-Ranges", "bytes"),
                                          ("Content-Range", "bytes %d-%d/%d" % (start, FILE_SIZE - 1, FILE_SIZE))])
                else:
                    extra = [("Accept-Ranges", "bytes")] if head == "file" else []
                    self.send_body(FILE_DATA, extra=extra)
            elif head == "stall-headers":
                self.wait_for_close()
            elif head == "stall-body":
                self.send_response(200)
                self.send_header("Content-Length", "100000")
                self.end_headers()
                self.wfile.write(pattern(1000))
                self.wfile.flush()
                self.wait_for_close()
            elif head == "slow":
                self.send_response(200)
                self.send_header("Content-Length", str(10 * 4096))
                self.end_headers()
                for i in range(10):
                    self.wfile.write(pattern(4096))
                    self.wfile.flush()
                    time.sleep(0.5)
            elif head == "endless":
                self.send_response(200)
                self.send_header("Transfer-Encoding", "chunked")
                self.end_headers()
                block = b"x" * 16384
                end = time.time() + STALL_LIMIT
                while time.time() < end:
                    self.wfile.write(b"%x\r\n%s\r\n" % (len(block), block))
                self.close_connection = True
            elif head == "update" and len(parts) == 2 and parts[1].endswith(".xml"):
                name = parts[1][:-4]
                if name in UPDATES:
                    body = UPDATES[name]
                    self.send_body(body if isinstance(body, bytes) else body.encode("utf-8"), ctype="text/xml")
                else:
                    self.send_body(b"no such variant", status=404)
            else:
                self.send_body(b"not found", status=404)
        except (BrokenPipeError, ConnectionResetError, ConnectionAbortedError):
            self.close_connection = True


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def serve(state, lifetime):
    server = Server(("127.0.0.1", 0), Handler)
    port = server.server_address[1]
    tmp = os.path.join(state, "port.tmp")
    with open(tmp, "w") as f:
        f.write("%d\n" % port)
    os.replace(tmp, os.path.join(state, "port"))
    deadline = time.time() + lifetime
    server.timeout = 0.5
    signal.signal(signal.SIGTERM, lambda *a: sys.exit(0))
    while time.time() < deadline:
        server.handle_request()


def is_our_server(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return b"webserver.py" in f.read()
    except OSError:
        return False


def stop(state):
    pidfile = os.path.join(state, "pid")
    try:
        pid = int(open(pidfile).read().strip())
    except (OSError, ValueError):
        return
    if is_our_server(pid):
        try:
            os.kill(pid, signal.SIGTERM)
        except OSError:
            pass
        for _ in range(50):
            if not is_our_server(pid):
                break
            time.sleep(0.1)
    for name in ("pid", "port"):
        try:
            os.remove(os.path.join(state, name))
        except OSError:
            pass


def start(state, lifetime):
    os.makedirs(state, exist_ok=True)
    stop(state)
    child = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", state, "--lifetime", str(lifetime)],
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                             start_new_session=True)
    with open(os.path.join(state, "pid"), "w") as f:
        f.write("%d\n" % child.pid)
    portfile = os.path.join(state, "port")
    for _ in range(200):
        if os.path.exists(portfile):
            port = int(open(portfile).read())
            with socket.create_connection(("127.0.0.1", port), timeout=5):
                pass
            print("test server on 127.0.0.1:%d" % port)
            return 0
        if child.poll() is not None:
            break
        time.sleep(0.05)
    print("test server did not start", file=sys.stderr)
    return 1


def main():
    args = sys.argv[1:]
    lifetime = 900
    if "--lifetime" in args:
        i = args.index("--lifetime")
        lifetime = int(args[i + 1])
        del args[i:i + 2]
    if len(args) != 2 or args[0] not in ("start", "stop", "serve"):
        print(__doc__, file=sys.stderr)
        return 2
    cmd, state = args
    if cmd == "start":
        return start(state, lifetime)
    if cmd == "stop":
        stop(state)
        return 0
    serve(state, lifetime)
    return 0


if __name__ == "__main__":
    sys.exit(main())
