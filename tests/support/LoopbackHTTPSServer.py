"""A small HTTPS server on 127.0.0.1 for the update tests.

Usage: LoopbackHTTPSServer.py WORKDIR
Makes a certificate for 127.0.0.1 (the tests trust it) and another one nobody trusts with the
openssl program, serves two ports (trusted, untrusted), prints "READY <port> <untrusted port>"
and runs until its standard input closes or its lifetime ends, whichever comes first.
Files put in WORKDIR/files are served under /files/<name>; the other paths act out one
misbehaviour each.
"""

import http.server
import os
import socket
import ssl
import struct
import subprocess
import sys
import threading
import time

LIFETIME_SECONDS = 120
ENDLESS_LIMIT = 64 * 1024 * 1024


def make_certificate(workdir, name):
    key = os.path.join(workdir, name + "-key.pem")
    cert = os.path.join(workdir, name + ".pem")
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
         "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1", "-addext",
         "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert],
        check=True, timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    files = ""

    def log_message(self, *args):
        pass

    def send_body(self, status, body, extra=()):
        self.send_response(status)
        self.send_header("Content-Length", str(len(body)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def send_chunk(self, data):
        self.wfile.write(b"%x\r\n" % len(data) + data + b"\r\n")

    def do_GET(self):
        path = self.path
        if path.startswith("/files/"):
            name = os.path.basename(path[len("/files/"):])
            try:
                with open(os.path.join(self.files, name), "rb") as f:
                    body = f.read()
            except OSError:
                return self.send_body(404, b"no such file")
            return self.send_body(200, body)
        if path.startswith("/status/"):
            code = int(path[len("/status/"):])
            if code in (204, 304):
                self.send_response(code)
                self.end_headers()
                return
            return self.send_body(code, b"status %d" % code)
        if path.startswith("/chunked/"):
            size = int(path[len("/chunked/"):])
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            while size > 0:
                piece = min(size, 1000)
                self.send_chunk(b" " * piece)
                size -= piece
            self.wfile.write(b"0\r\n\r\n")
            return
        if path == "/endless":
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            sent = 0
            try:
                while sent < ENDLESS_LIMIT:
                    self.send_chunk(b"x" * 16384)
                    sent += 16384
            except OSError:
                pass
            self.close_connection = True
            return
        if path == "/short-body":
            self.send_response(200)
            self.send_header("Content-Length", "1000")
            self.end_headers()
            self.wfile.write(b'{"version"')
            self.close_connection = True
            return
        if path == "/long-body":
            self.send_response(200)
            self.send_header("Content-Length", "2")
            self.end_headers()
            self.wfile.write(b"{}" + b" " * 300000)
            self.close_connection = True
            return
        if path == "/huge-length":
            self.send_response(200)
            self.send_header("Content-Length", "10000000")
            self.end_headers()
            self.wfile.flush()
            time.sleep(10)
            self.close_connection = True
            return
        if path == "/drip":
            self.send_response(200)
            self.send_header("Content-Length", "100")
            self.end_headers()
            try:
                for _ in range(100):
                    self.wfile.write(b" ")
                    self.wfile.flush()
                    time.sleep(0.3)
            except OSError:
                pass
            return
        if path == "/stall":
            time.sleep(10)
            self.close_connection = True
            return
        if path == "/reset":
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                       struct.pack("ii", 1, 0))
            self.close_connection = True
            self.connection.close()
            return
        if path.startswith("/redirect/"):
            return self.send_body(302, b"", [("Location", path[len("/redirect"):])])
        if path == "/redirect-to-http":
            port = self.server.server_address[1]
            location = "http://127.0.0.1:%d/files/manifest.json" % port
            return self.send_body(302, b"", [("Location", location)])
        if path == "/loop":
            return self.send_body(302, b"", [("Location", "/loop")])
        self.send_body(404, b"unknown path")


class QuietServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # Clients that hang up early are what several paths are for.
        pass


def serve(workdir, cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server = QuietServer(("127.0.0.1", 0), Handler)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.server_address[1]


def main():
    workdir = sys.argv[1]
    Handler.files = os.path.join(workdir, "files")
    os.makedirs(Handler.files, exist_ok=True)
    trusted = make_certificate(workdir, "trusted")
    untrusted = make_certificate(workdir, "untrusted")
    ports = serve(workdir, *trusted), serve(workdir, *untrusted)
    print("READY %d %d" % ports, flush=True)
    # Ends when the test closes our standard input (or dies), and in any case after a while.
    done = threading.Event()
    threading.Thread(target=lambda: (sys.stdin.read(), done.set()), daemon=True).start()
    done.wait(LIFETIME_SECONDS)


if __name__ == "__main__":
    main()
