"""The browser program's site over HTTP on 127.0.0.1, for a person (scripts/serve-web.py) and for the
tests (tests/web/chromium.py): the types the page needs, and files from elsewhere by name."""
import functools
import http.server
import socketserver
import threading
import urllib.parse


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map)
    extensions_map.update({".wasm": "application/wasm", ".js": "text/javascript",
                           ".webmanifest": "application/manifest+json"})
    # Names served from another folder than the site's: a test program beside the page.
    extra = {}
    # A test wants every load fresh; a person's browser may keep what it has.
    no_store = False

    def translate_path(self, path):
        name = urllib.parse.urlparse(path).path.lstrip("/")
        if name in self.extra:
            return self.extra[name]
        return super().translate_path(path)

    def end_headers(self):
        if self.no_store:
            self.send_header("Cache-Control", "no-store")
        super().end_headers()

    def log_message(self, *args):
        pass


# A port left in TIME_WAIT by the last server is taken again at once.
socketserver.ThreadingTCPServer.allow_reuse_address = True


class Server:
    """SITE on the first free port of PORT..PORT+19, or on any free port for PORT 0."""

    def __init__(self, site, port=0, extra=None, no_store=False):
        handler = type("SiteHandler", (Handler,), {"extra": extra or {}, "no_store": no_store})
        for attempt in range(20 if port else 1):
            try:
                self.httpd = socketserver.ThreadingTCPServer(("127.0.0.1", port + attempt),
                                                             functools.partial(handler, directory=site))
                break
            except OSError:
                continue
        else:
            raise OSError("no free port from %d" % port)
        self.httpd.daemon_threads = True
        self.port = self.httpd.server_address[1]
        self.thread = None

    def url(self, path=""):
        return "http://127.0.0.1:%d/%s" % (self.port, path)

    def start(self):
        """Serves on a thread of its own."""
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()
        return self

    def stop(self):
        self.httpd.shutdown()
        self.httpd.server_close()
