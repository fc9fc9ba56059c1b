"""What the browser drivers (chromium.py, firefox.py, webkit.py) share: the site's server, the loop
that serves a test program, the commands every engine runs, and a browser's processes and files.
A driver only says how its browser is started, asked and closed: a Browser with navigate(url),
evaluate(expression) (a promise's value once settled), key(name), picture(x, y, width, height) (a
PNG in base64 of at least that part of the viewport, and the place of its top-left corner) and,
where the driver does not echo the program's lines as they come, output().

The server, the browser and its helpers are started here and stopped by their process ids,
whatever happens. Runs under Debian's /usr/bin/python3 (python3-websocket, python3-fonttools).
"""

import argparse
import contextlib
import glob
import json
import os
import runpy
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import types
import urllib.parse

import websocket

HERE = os.path.dirname(os.path.abspath(__file__))
# The project's own server of the site, as a module.
serve_web = types.SimpleNamespace(**runpy.run_path(os.path.join(HERE, "..", "..", "scripts", "serve-web.py"),
                                                   run_name="serve_web"))
STARTED = ("document.querySelector('.tr-main') !== null && "
           "document.querySelector('.tr-main').style.display !== 'none'")


def until(probe, seconds, pause=0.1, errors=()):
    """PROBE's first value that is neither None nor False within SECONDS, or None; an error in
    ERRORS counts as no value yet."""
    deadline = time.time() + seconds
    while True:
        try:
            value = probe()
        except errors:
            value = None
        if value is not None and value is not False:
            return value
        if time.time() >= deadline:
            return None
        time.sleep(pause)


def stop(process):
    """Ends a process started in a session of its own, with everything it started."""
    if process.poll() is not None:
        return
    try:
        os.killpg(process.pid, signal.SIGTERM)
        process.wait(10)
    except ProcessLookupError:
        pass
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()


class Server:
    """The site served as a host serves it, on a free port; by default nothing is kept in the
    browser's HTTP cache, so that each test sees the files it wrote. HOST holds serve-web.py's
    options for one of the hosts it stands for (base, redirect_index, refuse, mounts)."""

    def __init__(self, site, extra=None, cache="no-store", host=None):
        self.requests = []
        self.sent = []
        self.httpd = serve_web.server(site, 0, extra, cache, self.requests, self.sent, **(host or {}))
        self.port = self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def url(self, path=""):
        return "http://127.0.0.1:%d/%s" % (self.port, path)

    def stop(self):
        if self.httpd:
            self.httpd.shutdown()
            self.httpd.server_close()
            self.httpd = None


@contextlib.contextmanager
def opened(browser_class, site, size="1024x768", cache="no-store", extra=None, host=None, **options):
    """A server of SITE and a browser, both stopped afterwards whatever happens."""
    server, browser = Server(site, extra, cache, host), None
    try:
        browser = browser_class(size, **options)
        yield server, browser
    finally:
        if browser:
            browser.close()
        server.stop()


class Browser:
    """A private folder with the browser's log, the processes started for it and, for a browser
    asked over a WebSocket, its connection ws."""
    errors = (RuntimeError, OSError, websocket.WebSocketTimeoutException)  # a page busy or loading

    def call(self, method, **params):
        """A command over the WebSocket and its result; the events that come meanwhile go to event."""
        self.next_id = getattr(self, "next_id", 0) + 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.ws.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError("%s: %s %s" % (method, message["error"], message.get("message", "")))
                return message.get("result", {})
            if "method" in message:
                self.event(message["method"], message["params"])

    def __init__(self, kind):
        self.home = tempfile.mkdtemp(prefix="tapirun-%s." % kind)
        self.log = open(os.path.join(self.home, kind + ".log"), "w+")
        self.processes = []

    def spawn(self, argv, pass_fds=(), **env):
        process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log,
                                   env=dict(os.environ, **env), start_new_session=True, pass_fds=pass_fds)
        self.processes.append(process)
        return process

    def close(self):
        if hasattr(self, "ws"):
            self.ws.close()
        for process in reversed(self.processes):
            stop(process)
        self.log.close()
        shutil.rmtree(self.home, ignore_errors=True)

    def wait_for(self, expression, seconds):
        return until(lambda: self.evaluate(expression), seconds, errors=self.errors)

    def start(self, seconds):
        """Waits for the program, answering the start screen a window smaller than its screen shows."""
        deadline = time.time() + seconds
        while time.time() < deadline:
            state = self.wait_for("(%s) ? 'program' : document.getElementById('start') ? 'start' : null" % STARTED,
                                  deadline - time.time())
            if state == "program":
                return True
            if state == "start":
                self.key("a")
                time.sleep(0.2)
        return False

    def settled(self, expression):
        return self.evaluate(expression)

    def output(self):
        return []


class Checks:
    """Named expectations, printed as they are met or not."""

    def __init__(self, name):
        self.name = name
        self.failures = 0

    def expect(self, condition, what):
        print("%s: %s: %s" % (self.name, "ok" if condition else "FAIL", what), flush=True)
        self.failures += not condition

    def status(self):
        return 1 if self.failures else 0


# What a test program asks of its driver: its status once it has ended, or a picture.
ASKED = ("JSON.stringify(window.tapirunExit !== undefined ? {exit: window.tapirunExit} :"
         " window.tapirunWanted || null)")


def serve_program(browser, seconds):
    """Waits up to SECONDS for the test program to end, giving it on the way each picture it asks
    for: the browser's own screenshot of a part of the viewport (platform/web/TestDom.js). Returns
    the program's status, or None."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        try:
            asked = json.loads(browser.evaluate(ASKED) or "null")
        except browser.errors:
            asked = None
        if asked is None:
            time.sleep(0.01)
        elif "exit" in asked:
            return asked["exit"]
        else:
            png, left, top = browser.picture(asked["x"], asked["y"], asked["width"], asked["height"])
            browser.evaluate("tapirunGive(%s, %d, %d)" % (json.dumps(png), left, top))
    return None


# Where each face of the page comes from when the system has none of its own.
FACE_FILES = {"Tapirun PGothic": "tapirun-pgothic", "Tapirun Gothic": "tapirun-pgothic",
              "Tapirun PMincho": "tapirun-pmincho", "Tapirun Mincho": "tapirun-mincho"}
# What the form tests type as a learner's stray keys beyond the ASCII, yen sign and kana that every
# subset holds: the page draws such a key in the system's fallback face.
TYPED_BEYOND_SUBSETS = "üＡ\U0001F600"


def check_faces(site, drawn):
    """Every character drawn in a face is in the subset of that face the site serves; returns the
    faults found."""
    from fontTools.ttLib import TTFont
    faults = []
    for face, chars in sorted(drawn.items()):
        if face not in FACE_FILES:
            faults.append("%r drawn in %s, not a face of the page" % (chars, face))
            continue
        files = glob.glob(os.path.join(site, "fonts", FACE_FILES[face] + ".*.woff2"))
        if len(files) != 1:
            faults.append("%s: %d files of its subset in %s/fonts" % (face, len(files), site))
            continue
        cmap = TTFont(files[0]).getBestCmap()
        missing = "".join(c for c in chars if c.isprintable() and ord(c) not in cmap and
                          c not in TYPED_BEYOND_SUBSETS)
        if missing:
            faults.append("%s: drawn but not in %s: %s" % (face, os.path.basename(files[0]), missing))
        print("faces: %d characters beyond ASCII drawn in %s" % (len(chars), face))
    return faults


def run(args, browser_class):
    """The test program in the tests' own page (harness.html) served beside the site; its status."""
    program = os.path.abspath(args.program)
    name = os.path.basename(program)[:-3]
    # The tests' page asks for the site's style sheet by its plain name.
    style = glob.glob(os.path.join(args.site, "tapirun.*.css"))
    pages = {name + ".js": program, name + ".wasm": program[:-3] + ".wasm", "tapirun.css": style[0],
             "harness.html": os.path.join(HERE, "harness.html"), "harness.js": os.path.join(HERE, "harness.js")}
    with opened(browser_class, args.site, args.size, extra=pages) as (server, browser):
        query = urllib.parse.urlencode([("program", name)] + [("arg", a) for a in args.args])
        browser.navigate(server.url("harness.html?" + query))
        status = serve_program(browser, args.timeout)
        for line in browser.output():
            print(line)
        if status is None:
            print("%s: the program did not end within %d s" % (name, args.timeout), file=sys.stderr)
            return 1
        faults = check_faces(args.site, browser.evaluate("window.tapirunDrawn")) if args.faces else []
        for fault in faults:
            print("faces: FAIL: " + fault, file=sys.stderr)
        return int(status) or (1 if faults else 0)


# The scope of the service worker that controls the page, once it is activated.
ACTIVATED = ("Promise.race([navigator.serviceWorker.ready.then(r => r.active.state === 'activated' ? r.scope :"
             " new Promise(done => r.active.addEventListener('statechange', e => {"
             " if (e.target.state === 'activated') done(r.scope); }))).catch(e => String(e)),"
             " new Promise(r => setTimeout(() => r('none within 20 s'), 20000))])")
# The headers a stored answer must still carry, as the host sent them.
KEPT_HEADERS = ("Content-Security-Policy", "X-Content-Type-Options", "Cross-Origin-Opener-Policy", "X-Frame-Options")


def offline(args, browser_class):
    """Two copies of the site on one origin, each under a sub-path, behind the hosts teachers use:
    /a/ behind one that answers index.html with a redirect to its folder (as Cloudflare Pages
    does), /b/ behind one that refuses files beginning with "_" or "." (GitHub Pages' default).
    Each is opened once and installs its copy; with the server stopped, each starts again from its
    own cache, and the page's stored answer keeps the host's headers."""
    checks = Checks("offline")
    host = {"base": "/a/", "redirect_index": True, "mounts": [{"site": args.site, "base": "/b/", "refuse": ("_", ".")}]}
    with opened(browser_class, args.site, host=host) as (server, browser):
        scopes = []
        for path in ("a/", "b/"):
            browser.navigate(server.url(path))
            checks.expect(browser.start(30), "/%s: the page starts online" % path)
            scope = browser.settled(ACTIVATED)
            checks.expect(scope == server.url(path), "/%s: its service worker took the page (%s)" % (path, scope))
            scopes.append(scope)
        kept = sorted(json.loads(browser.settled("caches.keys().then(k => JSON.stringify(k))") or "[]"))
        checks.expect(len(kept) == 4 and all(sum(k.startswith("tapirun " + s + " ") for k in kept) == 2 for s in scopes),
                      "each copy keeps its release and its faces in caches of its own (%s)" % kept)
        server.stop()
        for path in ("a/", "b/"):
            browser.navigate("about:blank")
            time.sleep(0.2)
            browser.navigate(server.url(path))
            checks.expect(browser.start(30), "/%s: with the server stopped the page starts again from its cache, "
                                             "after the other copy was visited" % path)
            said = browser.settled("fetch('index.html').then(r => JSON.stringify([%s].map(h => r.headers.get(h))))"
                                   % ", ".join("'%s'" % h for h in KEPT_HEADERS))
            expected = [dict(serve_web.HEADERS + serve_web.PAGE_HEADERS)[h] for h in KEPT_HEADERS]
            checks.expect(json.loads(said or "null") == expected,
                          "/%s: the stored page keeps the host's headers (%s)" % (path, said))
        return checks.status()


def main(browser_class, commands=None):
    """run and offline in BROWSER_CLASS, and the driver's own COMMANDS (name: function(args), each
    given --site)."""
    commands = dict(commands or {}, offline=lambda args: offline(args, browser_class))
    parser = argparse.ArgumentParser()
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("run")
    p.add_argument("--site", required=True)
    p.add_argument("--program", required=True, help="PATH/NAME.js, a test program")
    p.add_argument("--size", default="1024x768")
    p.add_argument("--timeout", type=int, default=240)
    p.add_argument("--faces", action="store_true",
                   help="also fail when a character drawn is not in the site's subset of its face")
    p.add_argument("args", nargs="*")
    for name in commands:
        command = sub.add_parser(name)
        command.add_argument("--site", required=True)
        command.add_argument("--stage", help="the site's files under their plain names, as the build stages them")
    args = parser.parse_args()
    if args.command == "run":
        return run(args, browser_class)
    return commands[args.command](args)
