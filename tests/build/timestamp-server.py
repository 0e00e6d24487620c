#!/usr/bin/env python3
"""A time-stamp server (RFC 3161) on 127.0.0.1 for the signing test: each
query posted to it is answered by `openssl ts -reply` with the test's own
time-stamping certificate. With --hang it takes the query, says "query" on
standard error and never answers, as a stalled server would. Prints the port it listens on, then serves until
it is stopped.
  timestamp-server.py CONFIG [--hang]
"""
import http.server
import subprocess
import sys
import tempfile
import threading

CONFIG = sys.argv[1]
HANG = "--hang" in sys.argv[2:]


class TimestampHandler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        if HANG:
            print("query", file=sys.stderr, flush=True)
            threading.Event().wait()
        with tempfile.NamedTemporaryFile() as query_file, tempfile.NamedTemporaryFile() as reply_file:
            query_file.write(query)
            query_file.flush()
            done = subprocess.run(["openssl", "ts", "-reply", "-config", CONFIG, "-queryfile", query_file.name,
                                   "-out", reply_file.name], capture_output=True, timeout=30)
            reply = reply_file.read()
        if done.returncode != 0 or not reply:
            self.send_error(500, done.stderr.decode(errors="replace")[:200])
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), TimestampHandler)
server.daemon_threads = True
print(server.server_address[1], flush=True)
server.serve_forever()
