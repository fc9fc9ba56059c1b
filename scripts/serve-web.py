#!/usr/bin/python3
"""Serves the browser program's site on 127.0.0.1 and prints its address.

  serve-web.py [--base /PATH/] [--redirect-index] [--refuse PREFIX]... [SITE-DIR] [PORT]
      defaults: build-web/site, 8080 (the next free one if taken)

It sends the headers a real host should send (README.md, "Hosting the browser program"): the
page's Content-Security-Policy and the other headers below, and the caching each file can bear; it
sends ETags and answers "304 Not Modified" to them, lists no folders and compresses what
compresses. It never serves the hosts' own configuration (_headers). Its options stand for the
hosts teachers use:

  --base /PATH/       the site under a sub-path, as GitHub Pages serves a project's site; every
                      other address is not found
  --redirect-index    index.html answered with a redirect to its folder's address, as Cloudflare
                      Pages and hosts like it do
  --refuse PREFIX     a file or folder whose name begins with PREFIX not found, as GitHub Pages'
                      default build leaves out "_" and "." files

The tests import it for their own servers.
"""
import argparse
import email.utils
import functools
import gzip
import hashlib
import http.server
import io
import os
import re
import socketserver
import sys
import urllib.parse

# The page runs its own scripts and style and WebAssembly, nothing inline and nothing of another
# origin, no other site may frame it, and where the engine has Trusted Types no script address is
# set but through the page's one policy.
POLICY = ("default-src 'none'; script-src 'self' 'wasm-unsafe-eval'; style-src 'self'; font-src 'self'; "
          "img-src 'self'; connect-src 'self'; manifest-src 'self'; worker-src 'self'; base-uri 'none'; "
          "form-action 'none'; frame-ancestors 'none'; require-trusted-types-for 'script'; trusted-types tapirun")
# Full screen and the keyboard's layout map for the page alone, every other powerful feature for
# no one.
PERMISSIONS = ", ".join(["fullscreen=(self)", "keyboard-map=(self)"] + ["%s=()" % feature for feature in (
    "accelerometer", "camera", "display-capture", "encrypted-media", "gamepad", "geolocation", "gyroscope", "hid",
    "idle-detection", "local-fonts", "magnetometer", "microphone", "midi", "payment", "picture-in-picture",
    "publickey-credentials-get", "screen-wake-lock", "serial", "usb", "xr-spatial-tracking")])
# Every file's headers: no file is taken for another type, and none is read by another site.
HEADERS = [
    ("X-Content-Type-Options", "nosniff"),
    ("Cross-Origin-Resource-Policy", "same-origin"),
]
# And the page's and the service worker's, the only files these rule (a script's, a style sheet's
# or a face's would be bytes sent for nothing at every visit).
PAGE_HEADERS = [
    ("Content-Security-Policy", POLICY),
    ("Referrer-Policy", "no-referrer"),
    ("Cross-Origin-Opener-Policy", "same-origin"),
    ("Permissions-Policy", PERMISSIONS),
    # For browsers too old for the policy's frame-ancestors.
    ("X-Frame-Options", "DENY"),
]
# What a host sends with the page, its folder's address and the service worker, as the hosts'
# headers file names them.
PAGE_PATHS = ["/", "/index.html", "/sw.js"]


def is_page(path, kind):
    """Whether the answer at PATH, of type KIND, is one the page's headers go with."""
    return kind.split(";")[0] == "text/html" or path.endswith(("/", ".html", "/sw.js"))
# Files named after their contents never change; everything else is asked for again each time, and
# answered with "not modified" while it is unchanged.
HASHED = re.compile(r"\.[0-9a-f]{12}\.[a-z0-9]+$")
FOREVER = "public, max-age=31536000, immutable"
REVALIDATE = "no-cache"
COMPRESSED = {"text/html", "text/javascript", "text/css", "application/wasm", "application/manifest+json",
              "text/plain"}
# The hosts' configuration, which they read and never serve.
HOST_FILES = {"_headers"}


class Handler(http.server.SimpleHTTPRequestHandler):
    """The site's files with the hosting headers. Subclasses may add files from elsewhere (extra:
    name to path), send one Cache-Control of their own for everything (cache), keep the path of
    every request answered (requests, a list) and the bytes of every answer (sent, a list), and
    serve the site as one of the hosts above does (base, redirect_index, refuse); mounts adds more
    sites at other sub-paths, each a dict of site and base, redirect_index and refuse."""

    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map)
    extensions_map.update({".wasm": "application/wasm", ".js": "text/javascript", ".woff2": "font/woff2",
                           ".webmanifest": "application/manifest+json", ".txt": "text/plain"})
    extra = {}
    cache = None
    requests = None
    sent = None
    mounts = []
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

    def list_directory(self, path):
        self.send_error(404)
        return None

    def send_header(self, keyword, value):
        if keyword.lower() == "content-type":
            self.answer_type = value
        super().send_header(keyword, value)

    def end_headers(self):
        path = urllib.parse.urlsplit(self.path).path
        for name, value in HEADERS + (PAGE_HEADERS if is_page(path, getattr(self, "answer_type", "")) else []):
            self.send_header(name, value)
        self.send_header("Cache-Control", self.cache or (FOREVER if HASHED.search(path) else REVALIDATE))
        super().end_headers()

    def locate(self, path):
        """The mount serving the address's path and the file's path inside its site, or None."""
        for mount in self.mounts:
            if path.startswith(mount["base"]) or path + "/" == mount["base"]:
                name = urllib.parse.unquote(path[len(mount["base"]):])
                parts = [p for p in name.split("/") if p]
                if any(p in (".", "..") for p in parts):
                    return None
                if any(p.startswith(prefix) for p in parts for prefix in mount.get("refuse", ())):
                    return None
                if parts and parts[0] in HOST_FILES:
                    return None
                return mount, name
        return None

    def redirect(self, location):
        self.send_response(308 if self.command in ("GET", "HEAD") else 307)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def send_head(self):
        self.answer_type = ""
        address = urllib.parse.urlsplit(self.path)
        name = address.path.lstrip("/")
        if name in self.extra:
            path = self.extra[name]
        else:
            found = self.locate(address.path)
            if not found:
                self.send_error(404)
                return None
            mount, inside = found
            if mount.get("redirect_index") and (inside == "index.html" or inside.endswith("/index.html")):
                self.redirect(address.path[:-len("index.html")] + ("?" + address.query if address.query else ""))
                return None
            path = os.path.join(mount["site"], inside)
            if os.path.isdir(path):
                if not address.path.endswith("/"):
                    self.redirect(address.path + "/")
                    return None
                path = os.path.join(path, "index.html")
        if not os.path.isfile(path):
            self.send_error(404)
            return None
        kind = self.guess_type(path)
        stat = os.stat(path)
        modified = int(stat.st_mtime)
        packed = kind.split(";")[0] in COMPRESSED and "gzip" in self.headers.get("Accept-Encoding", "")
        key = (path, stat.st_mtime_ns, stat.st_size, packed)
        if key not in Handler.compressed:
            with open(path, "rb") as f:
                body = f.read()
            if packed:
                body = gzip.compress(body, 9, mtime=0)
            # A strong validator of the bytes sent, which differ with the encoding.
            Handler.compressed[key] = body, '"%s"' % hashlib.sha256(body).hexdigest()[:24]
        body, etag = Handler.compressed[key]
        matches = self.headers.get("If-None-Match")
        since = self.headers.get("If-Modified-Since")
        unchanged = matches is not None and etag in [m.strip() for m in matches.split(",")]
        if since and matches is None:
            try:
                unchanged = modified <= email.utils.parsedate_to_datetime(since).timestamp()
            except (TypeError, ValueError, OverflowError):
                pass
        if unchanged:
            self.send_response(304)
            self.send_header("ETag", etag)
            self.end_headers()
            return None
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Last-Modified", self.date_time_string(modified))
        self.send_header("ETag", etag)
        if packed:
            self.send_header("Content-Encoding", "gzip")
        self.send_header("Vary", "Accept-Encoding")
        self.end_headers()
        return io.BytesIO(body)


def server(site, port=0, extra=None, cache=None, requests=None, sent=None, base="/", redirect_index=False,
           refuse=(), mounts=()):
    """A threaded server of the site on 127.0.0.1; port 0 takes any free one. The options are the
    Handler's."""
    first = {"site": site, "base": base, "redirect_index": redirect_index, "refuse": tuple(refuse)}
    # The longest base first, so that a site under another's folder is found.
    every = sorted([first] + [dict(m) for m in mounts], key=lambda m: -len(m["base"]))
    handler = type("SiteHandler", (Handler,), {"extra": extra or {}, "cache": cache, "requests": requests,
                                               "sent": sent, "mounts": every})
    httpd = socketserver.ThreadingTCPServer(("127.0.0.1", port), functools.partial(handler, directory=site))
    httpd.daemon_threads = True
    return httpd


def main():
    parser = argparse.ArgumentParser(description="Serves the browser program's site on 127.0.0.1.")
    parser.add_argument("--base", default="/", help="the sub-path the site is served under, /PATH/")
    parser.add_argument("--redirect-index", action="store_true", help="answer index.html with a redirect to ./")
    parser.add_argument("--refuse", action="append", default=[], metavar="PREFIX",
                        help="answer 404 for a file or folder whose name begins with PREFIX")
    parser.add_argument("site", nargs="?", default="build-web/site")
    parser.add_argument("port", nargs="?", type=int, default=8080)
    args = parser.parse_args()
    base = "/" + args.base.strip("/") + "/" if args.base.strip("/") else "/"
    # A port left in TIME_WAIT by the last server is taken again at once.
    socketserver.ThreadingTCPServer.allow_reuse_address = True
    for attempt in range(20):
        try:
            httpd = server(args.site, args.port + attempt, base=base, redirect_index=args.redirect_index,
                           refuse=args.refuse)
            break
        except OSError:
            continue
    else:
        sys.exit("serve-web: no free port from %d" % args.port)
    print("Tapirun in the browser: http://127.0.0.1:%d%s  (Ctrl+C stops the server)" % (httpd.server_address[1], base),
          flush=True)
    try:
        httpd.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
