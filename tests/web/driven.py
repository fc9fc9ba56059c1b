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
import hashlib
import json
import os
import re
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
        """Waits for the program, answering the start screen a window smaller than its screen shows;
        gives up where the page has said for 5 s that it cannot start (while its style sheet is
        still on its way, the line it keeps for a script that never runs is not yet hidden)."""
        deadline = time.time() + seconds
        said_since = None
        while time.time() < deadline:
            state = self.wait_for("(%s) ? 'program' : (%s) !== null ? 'said' : document.getElementById('start') ? "
                                  "'start' : null" % (STARTED, SAID), deadline - time.time())
            if state == "program":
                return True
            if state == "said":
                said_since = said_since or time.time()
                if time.time() - said_since > 5:
                    return False
                time.sleep(0.2)
                continue
            said_since = None
            if state == "start":
                self.key("a")
                time.sleep(0.2)
        return False

    def settled(self, expression):
        return self.evaluate(expression)

    def output(self):
        return []

    # The options that keep the system's own Japanese faces from the page, where the driver has them.
    no_system_faces = {}

    def watch(self):
        """Starts noting the files the page receives (received)."""

    def received(self, pattern):
        """The files the page loaded whose names match PATTERN, each with the SHA-256 of its body
        where the driver can read bodies, None where it cannot (the page's resource timing)."""
        names = json.loads(self.evaluate("JSON.stringify(performance.getEntriesByType('resource').map("
                                         "e => e.name.split('/').pop()))") or "[]")
        return [(name, None) for name in names if re.fullmatch(pattern, name)]

    def clear_http_cache(self):
        """Empties the browser's HTTP cache where the driver can; False where it cannot."""
        return False


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
    # Only Chromium draws the page at another pixel ratio for a test (its device metrics).
    scaled = {"ratio": args.ratio} if args.ratio != 1 else {}
    with opened(browser_class, args.site, args.size, extra=pages, **scaled) as (server, browser):
        query = urllib.parse.urlencode([("program", name)] + [("env", e) for e in args.env] +
                                       [("arg", a) for a in args.args])
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


def cut(path):
    """A file cut in half, as a host caught half-way through an upload holds it."""
    with open(path, "r+b") as f:
        f.truncate(os.path.getsize(path) // 2)


def _leb(n):
    out = bytearray()
    while True:
        byte, n = n & 0x7F, n >> 7
        out.append(byte | (0x80 if n else 0))
        if not n:
            return bytes(out)


# The line saying why the page cannot start, once one shows.
SAID = ("(function () { var failed = document.querySelector('#loading.failed'), stalled = document.getElementById("
        "'stalled'); return failed ? failed.textContent : stalled && getComputedStyle(stalled).visibility === 'visible'"
        " ? stalled.textContent : null; })()")
FACES_LOADED = ("Array.from(document.fonts).filter(f => f.status === 'loaded' && f.family.indexOf('Tapirun') >= 0)"
                ".map(f => f.family.replace(/\"/g, '')).sort().join(', ')")


def update(args, browser_class):
    """A host that lets caches keep every file ten minutes, and releases published on it: a page
    runs one release whole, the release stored on one visit is run from the next start, a release
    that cannot be stored whole is not stored at all, the site starts offline afterwards, and with
    no service worker in play (a browser with them off) a release change never pairs two
    releases' files."""
    with tempfile.TemporaryDirectory(prefix="tapirun-update.") as work:
        site = os.path.join(work, "site")
        stage = os.path.join(work, "stage")
        shutil.copytree(args.stage, stage)
        shutil.copytree(args.site, site)
        # With no Japanese face on the system, the page's faces can only come from the site.
        with opened(browser_class, site, cache="max-age=600", **browser_class.no_system_faces) as (server, browser):
            return check_releases(site, stage, server, browser)


def check_releases(site, stage, server, browser):
    checks = Checks("update")
    source = os.path.join(HERE, "..", "..", "dist", "web")
    # Each release's program files: the name the site gives each kind, and its digest.
    releases = {}
    kinds = ("js", "wasm")

    def program(kind):
        return glob.glob(os.path.join(site, "tapirun.*." + kind))[0]

    def remember(number):
        releases[number] = {}
        for kind in kinds:
            with open(program(kind), "rb") as f:
                releases[number][kind] = (os.path.basename(program(kind)), hashlib.sha256(f.read()).hexdigest())

    def publish(number):
        """A new build, published as a host publishes one, replacing the last: its JavaScript and
        wasm differ, and so do their names and the page's and service worker's lists."""
        with open(os.path.join(stage, "tapirun.js"), "a") as f:
            f.write("\n// build %d\n" % number)
        name, data = b"build", str(number).encode()
        payload = _leb(len(name)) + name + data
        with open(os.path.join(stage, "tapirun.wasm"), "ab") as f:
            f.write(b"\x00" + _leb(len(payload)) + payload)
        subprocess.run(["/usr/bin/python3", os.path.join(source, "site.py"), "publish", stage, site,
                        os.path.join(source, "sw.js.in")], check=True)
        remember(number)

    def release_of(kind, name, digest):
        return next((n for n, r in releases.items() if r[kind][0] == name and digest in (None, r[kind][1])), "?")

    visits = []

    def visit(page=None, serving=server):
        """Opens the page anew; returns the releases of the program files it ran, each told by its
        name, and by its contents where the driver reads them. By default each visit's address has
        a query of its own, which the service worker ignores: WebKit shows a page its memory cache
        keeps (the host allows ten minutes) without asking the service worker at all."""
        visits.append(page)
        page = page or "index.html?visit=%d" % len(visits)
        browser.navigate("about:blank")
        time.sleep(0.2)
        browser.watch()
        browser.navigate(serving.url(page))
        if not browser.start(30):
            return None
        ran = set()
        for kind in kinds:
            for name, digest in browser.received(r"tapirun\.[0-9a-f]{12}\." + kind):
                ran.add((kind, release_of(kind, name, digest)))
        return sorted(ran)

    def registration(condition):
        """Waits until the service worker's registration meets the condition (r is it)."""
        return until(lambda: browser.settled("navigator.serviceWorker.getRegistration().then(r => !!(r && (%s)))"
                                             % condition), 30, errors=browser.errors)

    def caches():
        return sorted(json.loads(browser.settled("caches.keys().then(k => JSON.stringify(k))") or "[]"))

    def whole(number):
        return [("js", number), ("wasm", number)]

    remember(1)
    ran = visit()
    checks.expect(ran == whole(1), "the first visit runs the first release (%s)" % ran)
    checks.expect(registration("r.active && r.active.state === 'activated'"),
                  "the service worker stored the first release")
    publish(2)
    before = len(server.requests)
    ran = visit()
    checks.expect(ran == whole(1), "the visit after the second release runs the first one whole (%s)" % ran)
    checks.expect(registration("r.waiting"), "the second release is stored, waiting for the next start")
    fetched = server.requests[before:]
    checks.expect("/" + releases[2]["wasm"][0] in fetched and not any(p.endswith(".woff2") for p in fetched),
                  "the second release was fetched, its faces were not (%s)" % fetched)
    ran = visit()
    # A worker slower than the page's 3 s leaves this start on its release, whole; the one after
    # runs the new release.
    if ran == whole(1):
        ran = visit()
    checks.expect(ran == whole(2), "the next start, or the one after a slow worker, runs the second release whole (%s)"
                  % ran)
    # The release before stays for a page that loaded from it as the new worker took over.
    kept = caches()
    checks.expect(len(kept) == 3 and sum(k.endswith(" faces") for k in kept) == 1,
                  "the release, the one before it and the faces are kept (%s)" % kept)

    # A host caught half-way through an upload: the third release's wasm is cut short.
    publish(3)
    cut(program("wasm"))
    before = len(server.requests)
    ran = visit()
    checks.expect(ran == whole(2), "with a broken third release on the host the page runs the second (%s)" % ran)
    # The visit's own check for a new release may not have begun yet: one is asked for here.
    browser.settled("navigator.serviceWorker.getRegistration().then(r => r.update()).then(() => true, () => true)")
    checks.expect(registration("!r.installing && !r.waiting && r.active"), "the broken release was given up")
    checks.expect("/" + releases[3]["wasm"][0] in server.requests[before:],
                  "the service worker did try the third release")
    checks.expect(caches() == kept, "the caches hold the second release and the one before (%s)" % caches())

    # Offline on a later day, when the HTTP cache holds nothing that could stand in for the
    # service worker's copy (where the driver can empty it).
    server.stop()
    browser.clear_http_cache()
    ran = visit()
    checks.expect(ran == whole(2), "offline, the page starts the second release whole (%s)" % ran)
    faces = browser.settled(FACES_LOADED)
    checks.expect(faces == "Tapirun Mincho, Tapirun PGothic, Tapirun PMincho",
                  "offline, with its faces (%s)" % faces)

    # No service worker in play: the same host, where the browser's registration of one fails, as
    # in a browser with them off. A page the HTTP cache keeps runs its own release's files, which
    # the cache keeps with it; a page asked for anew runs the new release's, never the last's.
    publish(4)
    plain = Server(site, cache="max-age=600", host={"refuse": ("sw.js",)})
    try:
        ran = visit("index.html", serving=plain)
        checks.expect(ran == whole(4) and not browser.settled("!!navigator.serviceWorker.controller"),
                      "with no service worker the page runs the fourth release whole (%s)" % ran)
        publish(5)
        ran = visit("index.html", serving=plain)
        # WebKit's memory cache of a private session keeps the page but not its files, which the
        # host no longer has: the page says so instead of running another release's.
        said = None if ran else until(lambda: browser.evaluate(SAID), 20, errors=browser.errors)
        checks.expect(ran == whole(4) or (ran is None and said and "\n" not in said),
                      "after a fifth release, the page the HTTP cache keeps still runs the fourth whole, or says "
                      "in one line that it cannot (%s, %r)" % (ran, said))
        ran = visit("index.html?anew", serving=plain)
        checks.expect(ran == whole(5), "the page asked for anew runs the fifth whole (%s)" % ran)
    finally:
        plain.stop()
    return checks.status()


def main(browser_class, commands=None):
    """run, offline and update in BROWSER_CLASS, and the driver's own COMMANDS (name:
    function(args), each given --site and --stage)."""
    commands = dict(commands or {}, offline=lambda args: offline(args, browser_class),
                    update=lambda args: update(args, browser_class))
    parser = argparse.ArgumentParser()
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("run")
    p.add_argument("--site", required=True)
    p.add_argument("--program", required=True, help="PATH/NAME.js, a test program")
    p.add_argument("--size", default="1024x768")
    p.add_argument("--timeout", type=int, default=240)
    p.add_argument("--env", action="append", default=[], help="NAME=VALUE for the test program's environment")
    p.add_argument("--ratio", type=float, default=1.0, help="device pixels a CSS pixel (Chromium only)")
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
