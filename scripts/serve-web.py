#!/usr/bin/python3
"""Serves the browser program's site on 127.0.0.1 and prints its address.

  serve-web.py [SITE-DIR] [PORT]      defaults: build-web/site, 8080 (the next free one if taken)

Any static web host serves the same folder; this one only adds the types the page needs.
"""
import functools
import http.server
import socketserver
import sys

site = sys.argv[1] if len(sys.argv) > 1 else "build-web/site"
port = int(sys.argv[2]) if len(sys.argv) > 2 else 8080


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map)
    extensions_map.update({".wasm": "application/wasm", ".js": "text/javascript",
                           ".webmanifest": "application/manifest+json"})

    def log_message(self, *args):
        pass


# A port left in TIME_WAIT by the last server is taken again at once.
socketserver.ThreadingTCPServer.allow_reuse_address = True
for attempt in range(20):
    try:
        server = socketserver.ThreadingTCPServer(("127.0.0.1", port + attempt),
                                                 functools.partial(Handler, directory=site))
        break
    except OSError:
        continue
else:
    sys.exit("serve-web: no free port from %d" % port)
print("Tapirun in the browser: http://127.0.0.1:%d/  (Ctrl+C stops the server)" % server.server_address[1],
      flush=True)
try:
    server.serve_forever()
except KeyboardInterrupt:
    pass
