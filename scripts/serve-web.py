#!/usr/bin/python3
"""Serves the browser program's site on 127.0.0.1 and prints its address.

  serve-web.py [SITE-DIR] [PORT]      defaults: build-web/site, 8080 (the next free one if taken)

It sends the headers a real host should send (README.md, "Hosting the browser program"): the
page's Content-Security-Policy, nosniff, and the caching each file can bear; it lists no folders
and compresses what compresses. The tests import it for their own servers.
"""
import email.utils
import functools
import gzip
import http.server
import io
import os
import re
import socketserver
import sys
import urllib.parse

# The page runs its own scripts and style and WebAssembly, nothing inline and nothing of another
# origin, and no other site may frame it.
POLICY = ("default-src 'none'; script-src 'self' 'wasm-unsafe-eval'; style-src 'self'; font-src 'self'; "
          "img-src 'self'; connect-src 'self'; manifest-src 'self'; worker-src 'self'; base-uri 'none'; "
          "form-action 'none'; frame-ancestors 'none'")
# Files named after their contents never change; everything else is asked for again each time, and
# answered with "not modified" while it is unchanged.
HASHED = re.compile(r"\.[0-9a-f]{12}\.[a-z0-9]+$")
FOREVER = "public, max-age=31536000, immutable"
REVALIDATE = "no-cache"
COMPRESSED = {"text/html", "text/javascript", "text/css", "application/wasm", "application/manifest+json",
              "text/plain"}


class Handler(http.server.SimpleHTTPRequestHandler):
    """The site's files with the hosting headers. Subclasses may add files from elsewhere (extra:
    name to path), send one Cache-Control of their own for everything (cache), keep the path of
    every request answered (requests, a list) and the bytes of every answer (sent, a list)."""

    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map)
    extensions_map.update({".wasm": "application/wasm", ".js": "text/javascript", ".woff2": "font/woff2",
                           ".webmanifest": "application/manifest+json", ".txt": "text/plain"})
    extra = {}
    cache = None
    requests = None
    sent = None
    compressed = {}

    def log_message(self, *args):
        pass

    def log_request(self, code="-", size="-"):
        if self.requests is not None:
            self.requests.append(urllib.parse.urlsplit(self.path).path)

    def flush_headers(self):
        if self.sent is not None:
            self.sent.append(sum(len(line) for line in getattr(self, "_headers_buffer", [])))
        super().flush_headers()

    def copyfile(self, source, outputfile):
        data = source.read()
        if self.sent is not None:
            self.sent.append(len(data))
        outputfile.write(data)

    def translate_path(self, path):
        name = urllib.parse.urlsplit(path).path.lstrip("/")
        if name in self.extra:
            return self.extra[name]
        return super().translate_path(path)

    def list_directory(self, path):
        self.send_error(404)
        return None

    def end_headers(self):
        self.send_header("Content-Security-Policy", POLICY)
        self.send_header("X-Content-Type-Options", "nosniff")
        self.send_header("Referrer-Policy", "no-referrer")
        path = urllib.parse.urlsplit(self.path).path
        self.send_header("Cache-Control", self.cache or (FOREVER if HASHED.search(path) else REVALIDATE))
        super().end_headers()

    def send_head(self):
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            if not urllib.parse.urlsplit(self.path).path.endswith("/"):
                return super().send_head()  # the redirect to the folder's address
            path = os.path.join(path, "index.html")
        if not os.path.isfile(path):
            self.send_error(404)
            return None
        kind = self.guess_type(path)
        modified = int(os.stat(path).st_mtime)
        since = self.headers.get("If-Modified-Since")
        if since and not self.headers.get("If-None-Match"):
            try:
                if modified <= email.utils.parsedate_to_datetime(since).timestamp():
                    self.send_response(304)
                    self.end_headers()
                    return None
            except (TypeError, ValueError, OverflowError):
                pass
        with open(path, "rb") as f:
            body = f.read()
        packed = kind.split(";")[0] in COMPRESSED and "gzip" in self.headers.get("Accept-Encoding", "")
        if packed:
            key = (path, modified, len(body))
            if key not in Handler.compressed:
                Handler.compressed[key] = gzip.compress(body, 9, mtime=0)
            body = Handler.compressed[key]
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Last-Modified", self.date_time_string(modified))
        if packed:
            self.send_header("Content-Encoding", "gzip")
        self.send_header("Vary", "Accept-Encoding")
        self.end_headers()
        return io.BytesIO(body)


def server(site, port=0, extra=None, cache=None, requests=None, sent=None):
    """A threaded server of the site on 127.0.0.1; port 0 takes any free one."""
    handler = type("SiteHandler", (Handler,), {"extra": extra or {}, "cache": cache, "requests": requests,
                                               "sent": sent})
    httpd = socketserver.ThreadingTCPServer(("127.0.0.1", port), functools.partial(handler, directory=site))
    httpd.daemon_threads = True
    return httpd


def main():
    site = sys.argv[1] if len(sys.argv) > 1 else "build-web/site"
    port = int(sys.argv[2]) if len(sys.argv) > 2 else 8080
    # A port left in TIME_WAIT by the last server is taken again at once.
    socketserver.ThreadingTCPServer.allow_reuse_address = True
    for attempt in range(20):
        try:
            httpd = server(site, port + attempt)
            break
        except OSError:
            continue
    else:
        sys.exit("serve-web: no free port from %d" % port)
    print("Tapirun in the browser: http://127.0.0.1:%d/  (Ctrl+C stops the server)" % httpd.server_address[1],
          flush=True)
    try:
        httpd.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
