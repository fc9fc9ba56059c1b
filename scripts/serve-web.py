#!/usr/bin/python3
"""Serves the browser program's site on 127.0.0.1 and prints its address.

  serve-web.py [SITE-DIR] [PORT]      defaults: build-web/site, 8080 (the next free one if taken)

Any static web host serves the same folder; this one only adds the types the page needs.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from site_server import Server  # noqa: E402

site = sys.argv[1] if len(sys.argv) > 1 else "build-web/site"
port = int(sys.argv[2]) if len(sys.argv) > 2 else 8080

try:
    server = Server(site, port)
except OSError:
    sys.exit("serve-web: no free port from %d" % port)
print("Tapirun in the browser: %s  (Ctrl+C stops the server)" % server.url(), flush=True)
try:
    server.httpd.serve_forever()
except KeyboardInterrupt:
    pass
