#!/usr/bin/env python3
"""A loopback HTTPS server for the tests of the download and registry code.

Usage: loopback-https-server.py CERT KEY ROOT
Listens on 127.0.0.1 on a free port, prints "PORT <n>" on standard output once it
accepts connections, and serves until it is killed. Paths (NAME is a path below ROOT, which may have folders):

  /files/NAME                  NAME from ROOT with its Content-Length; 404 when missing
  /nolength/NAME               NAME without a Content-Length (the body ends when the connection closes)
  /claims/LENGTH/NAME          NAME, but declaring Content-Length LENGTH
  /slow/CHUNKS/DELAY_MS/NAME   NAME in CHUNKS pieces with DELAY_MS between them
  /stall/NAME                  the first half of NAME, then nothing for a minute
  /status/CODE                 that status; a short text body unless CODE is 204 or 304
  /redirect?to=URL             302 to URL, with a short body of its own
"""

import http.server
import os
import socketserver
import ssl
import sys
import time
import urllib.parse


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    root = "."

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        sys.stderr.write("%s\n" % (format % args))

    def file_bytes(self, parts):
        if not parts or any(part in ("", ".", "..") for part in parts):
            return None
        path = os.path.join(self.root, *parts)
        try:
            with open(path, "rb") as file:
                return file.read()
        except OSError:
            return None

    def send_status(self, code):
        body = b"" if code in (204, 304) else ("status %d\n" % code).encode()
        self.send_response(code)
        if code not in (204, 304):
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def send_body(self, body, length=None, close=False):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if length is not None:
            self.send_header("Content-Length", str(length))
        if close:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()

    def do_GET(self):  # noqa: N802 - the base class's name
        url = urllib.parse.urlsplit(self.path)
        parts = url.path.strip("/").split("/")
        kind, rest = parts[0], parts[1:]
        try:
            if kind == "status":
                self.send_status(int(rest[0]))
            elif kind == "redirect":
                target = urllib.parse.parse_qs(url.query)["to"][0]
                self.send_response(302)
                self.send_header("Location", target)
                # A body of its own, which a client that follows must not take as the answer.
                note = b"moved\n"
                self.send_header("Content-Length", str(len(note)))
                self.end_headers()
                self.wfile.write(note)
            else:
                skip = {"claims": 1, "slow": 2}.get(kind, 0)
                body = self.file_bytes(rest[skip:])
                if body is None:
                    self.send_status(404)
                elif kind == "files":
                    self.send_body(body, len(body))
                    self.wfile.write(body)
                elif kind == "nolength":
                    self.send_body(body, None, close=True)
                    self.wfile.write(body)
                elif kind == "claims":
                    self.send_body(body, int(rest[0]), close=True)
                    self.wfile.write(body)
                elif kind == "slow":
                    chunks, delay = int(rest[0]), int(rest[1]) / 1000.0
                    self.send_body(body, len(body))
                    step = max(1, -(-len(body) // chunks))
                    for start in range(0, len(body), step):
                        self.wfile.write(body[start:start + step])
                        self.wfile.flush()
                        time.sleep(delay)
                elif kind == "stall":
                    self.send_body(body, len(body), close=True)
                    self.wfile.write(body[: len(body) // 2])
                    self.wfile.flush()
                    time.sleep(60)
                else:
                    self.send_status(404)
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
            self.close_connection = True


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    cert, key, root = sys.argv[1:4]
    Handler.root = root
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server = Server(("127.0.0.1", 0), Handler)
    # The handshake runs in each connection's own thread, so one stuck client cannot
    # hold up the others.
    server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    sys.stdout.write("PORT %d\n" % server.server_address[1])
    sys.stdout.flush()
    server.serve_forever()


if __name__ == "__main__":
    main()
