#!/usr/bin/python3
"""Runs the browser program's pages in headless Chromium, driven over the DevTools protocol.

  chromium.py run --site DIR --program PATH/NAME.js [--size WxH] [--faces] [-- ARGS...]
  chromium.py offline --site DIR
      as driven.py runs them in every engine
  chromium.py a11y --site DIR
      the page's accessibility tree read through the DevTools protocol, and buttons pressed in it
  chromium.py safety --site DIR
      the published page runs only its own program whatever its address, under its policy
  chromium.py update --site DIR
      releases published on a host that lets caches keep files reach the page whole
  chromium.py resize --site DIR
      the program started in a viewport smaller than the screen, which then changes size: every
      control placed from the screen's size stands where it would have stood had it started there
  chromium.py paint --site DIR, chromium.py cold --site DIR (for make bench)
      the page's first contentful paint, cold and warm; a new learner's first visit on a slow line
      with no Japanese face installed: the seconds until the window shows and the bytes sent
"""

import base64
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

import websocket

import driven
from driven import HERE, STARTED, Checks, Server

CHROMIUM = os.environ.get("TAPIRUN_CHROMIUM", "/usr/bin/chromium")
# Headless, as root, with nothing of its own running in the background.
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--no-default-browser-check",
         "--disable-background-networking", "--disable-component-update", "--disable-sync", "--disable-extensions",
         "--disable-features=Translate,MediaRouter", "--hide-scrollbars", "--force-device-scale-factor=1",
         "--autoplay-policy=no-user-gesture-required", "--remote-debugging-port=0"]


class Chromium(driven.Browser):
    """One Chromium with a fresh profile, and a DevTools connection to its page; the page's console
    lines are echoed as they come, and its exceptions counted."""

    def __init__(self, size="1024x768", japanese_faces=True):
        super().__init__("chromium")
        width, height = (int(v) for v in size.split("x"))
        env = {}
        if not japanese_faces:
            # As on most Chromebooks and Macs: a font configuration listing DejaVu's alone.
            env["FONTCONFIG_FILE"] = os.path.join(self.home, "fonts.conf")
            with open(env["FONTCONFIG_FILE"], "w") as f:
                f.write('<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "fonts.dtd">\n<fontconfig>\n'
                        '  <dir>/usr/share/fonts/truetype/dejavu</dir>\n  <cachedir>%s/cache</cachedir>\n'
                        '</fontconfig>\n' % self.home)
        process = self.spawn([CHROMIUM] + FLAGS + ["--user-data-dir=" + os.path.join(self.home, "profile"),
                                                   "--window-size=%d,%d" % (width, height), "about:blank"], **env)
        port_file = os.path.join(self.home, "profile", "DevToolsActivePort")
        if not driven.until(lambda: process.poll() is not None or os.path.getsize(port_file) > 0, 30, 0.05,
                            OSError) or process.poll() is not None:
            self.close()
            raise RuntimeError("chromium did not start its DevTools server")
        time.sleep(0.05)
        port = open(port_file).read().split()[0]
        targets = json.loads(driven.until(lambda: urllib.request.urlopen(
            "http://127.0.0.1:%s/json/list" % port, timeout=5).read(), 5, 0.05, OSError))
        page = next(t for t in targets if t["type"] == "page")
        self.ws = websocket.create_connection(page["webSocketDebuggerUrl"], timeout=60, suppress_origin=True)
        self.exceptions = 0
        self.events = None  # a list keeps every event the page sends
        self.call("Runtime.enable")
        self.call("Page.enable")
        # The page's viewport is the test's screen, whatever the headless window keeps for itself.
        self.screen(width, height)

    def event(self, method, params):
        if self.events is not None:
            self.events.append({"method": method, "params": params})
        if method == "Runtime.consoleAPICalled":
            print(" ".join(str(a.get("value", "")) for a in params["args"]), flush=True)
        elif method == "Runtime.exceptionThrown":
            self.exceptions += 1
            details = params["exceptionDetails"]
            print("page exception:", details.get("exception", {}).get("description", details.get("text")),
                  file=sys.stderr, flush=True)

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in result:
            raise RuntimeError("%s: %s" % (expression, result["exceptionDetails"]))
        return result["result"].get("value")

    def navigate(self, url):
        self.call("Page.navigate", url=url)

    def key(self, name):
        text = name if len(name) == 1 else ""
        self.call("Input.dispatchKeyEvent", type="keyDown", key=name, text=text,
                  windowsVirtualKeyCode={"F1": 112, "ArrowDown": 40}.get(name, ord(name.upper()) if text else 0))
        self.call("Input.dispatchKeyEvent", type="keyUp", key=name)

    def screen(self, width, height, **more):
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=1, mobile=False,
                  **more)

    def picture(self, x, y, width, height):
        clip = {"x": x, "y": y, "width": width, "height": height, "scale": 1}
        return self.call("Page.captureScreenshot", format="png", clip=clip)["data"], x, y


def opened(site, size="1024x768", **options):
    return driven.opened(Chromium, site, size, **options)


def headers(url):
    """The status and headers the server answers with."""
    import urllib.error
    try:
        with urllib.request.urlopen(url, timeout=10) as r:
            return r.status, r.headers
    except urllib.error.HTTPError as e:
        return e.code, e.headers


def cut(path):
    """A file cut in half, as a host caught half-way through an upload holds it."""
    with open(path, "r+b") as f:
        f.truncate(os.path.getsize(path) // 2)


def safety(args):
    """The published page runs no script but its own whatever its address says, under its policy,
    and with the headers a host should send; a broken program file is said in one line."""
    checks = Checks("safety")
    with opened(args.site, cache=None) as (server, browser):
        work = browser.home
        with open(os.path.join(work, "x.js"), "w") as f:
            f.write("window.foreignRan = true;\n")
        foreign = Server(work)
        try:
            status, page = headers(server.url("index.html"))
            policy = page.get("Content-Security-Policy", "")
            checks.expect(status == 200 and "script-src 'self' 'wasm-unsafe-eval';" in policy and
                          "frame-ancestors 'none'" in policy and "default-src 'none'" in policy,
                          "the page is sent with its policy (%s)" % policy)
            checks.expect(page.get("X-Content-Type-Options") == "nosniff", "nosniff")
            checks.expect(page.get("Cache-Control") == "no-cache" and headers(server.url("sw.js"))[1].get(
                "Cache-Control") == "no-cache", "the page and the service worker are asked for again each time")
            face = next(f for f in os.listdir(os.path.join(args.site, "fonts")) if f.endswith(".woff2"))
            checks.expect("immutable" in headers(server.url("fonts/" + face))[1].get("Cache-Control", ""),
                          "a face named after its contents is kept for ever")
            checks.expect(headers(server.url("fonts/"))[0] == 404 and headers(server.url("icons/"))[0] == 404,
                          "no folder is listed")

            # Every breach of the policy, recorded from before the page's first script.
            browser.call("Page.addScriptToEvaluateOnNewDocument", source=(
                "window.violations = []; document.addEventListener('securitypolicyviolation', function (e) {"
                " window.violations.push(e.violatedDirective + ' ' + e.blockedURI); });"))
            other = "127.0.0.1:%d/x" % foreign.port
            for query in ("?program=" + urllib.parse.quote("//" + other, safe=""),
                          "?program=" + urllib.parse.quote("http://" + other, safe="") + "&arg=x&env=A%3DB&arg=--help"):
                browser.navigate(server.url("index.html" + query))
                checks.expect(browser.wait_for(STARTED, 30), "the page starts its own program at index.html" + query)
            checks.expect(not foreign.requests, "the other server saw no request (%s)" % foreign.requests)
            checks.expect(browser.evaluate("window.violations.join(', ')") == "",
                          "the page's own start-up keeps to its policy (%s)" % browser.evaluate("window.violations"))
            browser.evaluate(
                "(function () { var s = document.createElement('script'); s.textContent = 'window.inlineRan = true';"
                " document.body.appendChild(s); var t = document.createElement('script');"
                " t.src = 'http://%s.js'; document.body.appendChild(t); })()" % other)
            browser.wait_for("window.violations.length >= 2", 10)
            ran = browser.evaluate("[!!window.inlineRan, !!window.foreignRan]")
            checks.expect(ran == [False, False] and not foreign.requests,
                          "the policy is in force: neither an inline script nor one of another origin ran "
                          "(%s, requests %s)" % (ran, foreign.requests))
        finally:
            foreign.stop()

        # A host holding a program file broken: the page says so in one line.
        for name, damage, how in (("tapirun.wasm", "cut in half", cut), ("tapirun.js", "missing", os.remove),
                                  ("tapirun.js", "not JavaScript", lambda p: open(p, "w").write("<html>{{{"))):
            broken_site = os.path.join(work, "broken")
            shutil.rmtree(broken_site, ignore_errors=True)
            shutil.copytree(args.site, broken_site)
            how(os.path.join(broken_site, name))
            broken = Server(broken_site)
            browser.navigate(broken.url("index.html"))
            said = browser.wait_for("document.querySelector('#loading.failed') && "
                                    "document.querySelector('#loading.failed').textContent", 30)
            broken.stop()
            checks.expect(bool(said) and "\n" not in said, "%s %s is said in one line (%r)" % (name, damage, said))
    return checks.status()


def _leb(n):
    out = bytearray()
    while True:
        byte, n = n & 0x7F, n >> 7
        out.append(byte | (0x80 if n else 0))
        if not n:
            return bytes(out)


def update(args):
    """A host that lets caches keep every file ten minutes, and releases published on it: a page
    runs one release whole, the release stored on one visit is run from the next start, a release
    that cannot be stored whole is not stored at all, and the site starts offline afterwards."""
    with tempfile.TemporaryDirectory(prefix="tapirun-update.") as work:
        site = os.path.join(work, "site")
        shutil.copytree(args.site, site)
        # With no Japanese face on the system, the page's faces can only come from the site.
        with opened(site, cache="max-age=600", japanese_faces=False) as (server, browser):
            return check_releases(site, server, browser)


def check_releases(site, server, browser):
    checks = Checks("update")
    source = os.path.join(HERE, "..", "..", "dist", "web")
    releases = {}

    def digest(data):
        return hashlib.sha256(data).hexdigest()

    def remember(number):
        releases[number] = {name: digest(open(os.path.join(site, name), "rb").read())
                            for name in ("tapirun.js", "tapirun.wasm")}

    def publish(number):
        """A new build: its JavaScript and wasm differ, and its service worker lists them."""
        with open(os.path.join(site, "tapirun.js"), "a") as f:
            f.write("\n// build %d\n" % number)
        name, data = b"build", str(number).encode()
        payload = _leb(len(name)) + name + data
        with open(os.path.join(site, "tapirun.wasm"), "ab") as f:
            f.write(b"\x00" + _leb(len(payload)) + payload)
        subprocess.run(["/usr/bin/python3", os.path.join(source, "site.py"), "worker", site,
                        os.path.join(source, "sw.js.in")], check=True)
        remember(number)

    remember(1)
    browser.call("Network.enable")

    def visit():
        """Opens the page anew; returns the releases of the program files it ran."""
        browser.navigate("about:blank")
        time.sleep(0.2)
        browser.events = []
        browser.navigate(server.url("index.html"))
        if not browser.wait_for(STARTED, 30):
            return None
        ran = []
        for event in browser.events:
            if event["method"] != "Network.responseReceived":
                continue
            name = urllib.parse.urlsplit(event["params"]["response"]["url"]).path.rsplit("/", 1)[-1]
            if name not in ("tapirun.js", "tapirun.wasm"):
                continue
            body = browser.call("Network.getResponseBody", requestId=event["params"]["requestId"])
            data = base64.b64decode(body["body"]) if body["base64Encoded"] else body["body"].encode()
            ran.append((name, next((n for n, r in releases.items() if r[name] == digest(data)), "?")))
        browser.events = None
        return sorted(ran)

    def registration(condition):
        """Waits until the service worker's registration meets the condition (r is it)."""
        return browser.wait_for("navigator.serviceWorker.getRegistration().then(r => !!(r && (%s)))" % condition, 30)

    def caches():
        return sorted(browser.evaluate("caches.keys()"))

    def whole(number):
        return [("tapirun.js", number), ("tapirun.wasm", number)]

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
    checks.expect("/tapirun.wasm" in fetched and not any(p.endswith(".woff2") for p in fetched),
                  "the second release was fetched, its faces were not (%s)" % fetched)
    ran = visit()
    checks.expect(ran == whole(2), "the next start runs the second release whole (%s)" % ran)
    kept = caches()
    checks.expect(len(kept) == 2 and "tapirun-faces" in kept, "one release and the faces are kept (%s)" % kept)

    # A host caught half-way through an upload: the third release's wasm is cut short.
    publish(3)
    cut(os.path.join(site, "tapirun.wasm"))
    before = len(server.requests)
    ran = visit()
    checks.expect(ran == whole(2), "with a broken third release on the host the page runs the second (%s)" % ran)
    # The visit's own check for a new release may not have begun yet: one is asked for here.
    browser.evaluate("navigator.serviceWorker.getRegistration().then(r => r.update()).catch(e => String(e))")
    checks.expect(registration("!r.installing && !r.waiting && r.active"), "the broken release was given up")
    checks.expect("/tapirun.wasm" in server.requests[before:], "the service worker did try the third release")
    checks.expect(caches() == kept, "the caches hold the second release alone (%s)" % caches())

    # Offline on a later day, when the HTTP cache holds nothing that could stand in for the
    # service worker's copy.
    server.stop()
    browser.call("Network.clearBrowserCache")
    ran = visit()
    checks.expect(ran == whole(2), "offline, the page starts the second release whole (%s)" % ran)
    faces = browser.evaluate(FACES_LOADED)
    checks.expect(faces == "Tapirun Mincho, Tapirun PGothic, Tapirun PMincho",
                  "offline, with its faces (%s)" % faces)
    return checks.status()


def paint(args):
    """The page's first contentful paint, on a cold and then a warm load, and its transfer sizes."""
    with opened(args.site) as (server, browser):
        figures = []
        for load in ("cold", "warm"):
            browser.navigate(server.url("index.html?" + load))
            browser.wait_for(STARTED, 30)
            fcp = browser.wait_for(
                "(performance.getEntriesByName('first-contentful-paint')[0] || {}).startTime", 10)
            figures.append("%s_fcp_ms=%.1f" % (load, fcp or -1))
        print("web-page " + " ".join(figures))
        return 0


FACES_LOADED = ("Array.from(document.fonts).filter(f => f.status === 'loaded' && f.family.indexOf('Tapirun') >= 0)"
                ".map(f => f.family.replace(/\"/g, '')).sort().join(', ')")


def cold(args):
    """A new learner's first visit on a school's line: Chromium with no Japanese face on the system
    (a font configuration listing only DejaVu), its link emulated at 10 Mbit/s with 40 ms round
    trips. Prints the seconds until the program's window is on the screen and the bytes the server
    sent for the whole visit, the service worker's copy included."""
    with opened(args.site, cache=None, japanese_faces=False) as (server, browser):
        browser.call("Network.enable")
        browser.call("Network.emulateNetworkConditions", offline=False, latency=40,
                     downloadThroughput=10e6 / 8, uploadThroughput=10e6 / 8)
        # The moment the main window is first shown, and painted, in the page's own clock.
        browser.call("Page.addScriptToEvaluateOnNewDocument", source=(
            "new MutationObserver(function (records, observer) {"
            " var main = document.querySelector('.tr-main');"
            " if (!main || main.style.display === 'none') return; observer.disconnect();"
            " requestAnimationFrame(function () { setTimeout(function () {"
            " window.windowShownMs = performance.now(); }); }); })"
            ".observe(document, {subtree: true, childList: true, attributes: true});"))
        browser.navigate(server.url())
        shown = browser.wait_for("window.windowShownMs", 120)
        japanese = browser.evaluate("document.fonts.check('16px \"Tapirun PGothic\"', 'あ')")
        browser.wait_for("navigator.serviceWorker.getRegistration().then(r => !!(r && r.active &&"
                         " r.active.state === 'activated'))", 60)
        time.sleep(0.5)
        print("web-cold window_s=%.2f bytes=%d requests=%d faces_loaded=%s" % (
            (shown or -1000) / 1000, sum(server.sent), len(server.requests), japanese))
        return 0 if shown else 1


def accessible(browser):
    """The page's accessibility tree as (role, name, properties) of every node not ignored."""
    nodes = browser.call("Accessibility.getFullAXTree")["nodes"]
    out = []
    for n in nodes:
        if n.get("ignored"):
            continue
        role = n.get("role", {}).get("value", "")
        name = n.get("name", {}).get("value", "")
        props = {p["name"]: p.get("value", {}).get("value") for p in n.get("properties", [])}
        desc = n.get("description", {}).get("value", "")
        out.append((role, name, props, desc))
    return out


def a11y(args):
    """What a screen reader finds on the start screen, and a press of OK through it."""
    checks = Checks("a11y")
    expect = checks.expect
    with opened(args.site) as (server, browser):
        browser.navigate(server.url("index.html"))
        browser.wait_for(STARTED, 30)
        browser.call("Accessibility.enable")
        tree = accessible(browser)
        named = {(role, name) for role, name, _, _ in tree}
        # The tree collapses runs of spaces in names, as the browser reads them out.
        for name in ("O K", "終 了", "バージョン情報"):
            expect(("button", name) in named, "a push button named %r" % name)
        infos = [name for role, name, _, _ in tree if role == "button" and name == "バージョン情報"]
        expect(len(infos) == 2, "both info buttons named バージョン情報 (%d)" % len(infos))
        buttons = {name: desc for role, name, _, desc in tree if role == "button"}
        expect(buttons.get("O K", "").startswith("開始"), "the OK button described by its hint (%r)"
               % buttons.get("O K"))
        expect(("radiogroup", "モード") in named, "the mode selector a radio group named モード")
        radios = [(name, props) for role, name, props, _ in tree if role == "radio"]
        expect(len(radios) == 7, "seven modes as radio buttons (%d)" % len(radios))
        checked = [name for name, props in radios if props.get("checked") in ("true", True)]
        expect(checked == ["中段の練習"], "the middle row checked (%s)" % checked)
        expect(("progressbar", "経過時間") in named, "a progress bar named 経過時間")
        expect(("StaticText", "モードを選択してから") in named or
               any(role == "StaticText" and "モードを選択してから" in name for role, name, _, _ in tree),
               "the start message read whole as text")
        expect(not any(role == "dialog" for role, _, _, _ in tree), "the hidden About box is not in the tree")
        expect(("application", "Tapirun") in named, "the main window an application named Tapirun")
        applications = [name for role, name, _, _ in tree if role == "application"]
        expect(len(applications) == 1, "one application in the page, not nested ones (%s)" % applications)
        # A screen reader passes keys on to the element holding the focus in an application.
        expect(browser.evaluate("document.activeElement.classList.contains('tr-main')"),
               "the main window holds the keyboard focus at start")
        # A screen reader presses a button with a click that no mouse press comes before.
        browser.evaluate("document.querySelector('[aria-label=\"O K\"]').click()")
        time.sleep(0.2)
        tree = accessible(browser)
        texts = " ".join(name for role, name, _, _ in tree if role == "StaticText")
        expect("スペース" in texts, "OK pressed through the tree prepares a drill (%s)" % texts[:60])
        expect(not any(role == "radiogroup" for role, _, _, _ in tree), "the hidden mode selector left the tree")
        # The drill speaks through a live region: the prepared drill's message, then each target,
        # then a miss; a target equal to the one before is announced anew.
        live = "document.querySelector('[aria-live]')"
        spoken = lambda: browser.evaluate(live + " ? " + live + ".textContent : ''")
        expect(browser.evaluate(live + ".getAttribute('role')") == "status" and
               spoken() == "開始するときは スペース・キー",
               "the prepared drill announced in a live status region (%r)" % spoken())
        def dispatch(key):
            browser.evaluate("document.body.dispatchEvent(new KeyboardEvent('keydown', {key: '%s', bubbles: true,"
                             " cancelable: true}))" % key)

        before = spoken()
        dispatch(" ")
        target = spoken()
        expect(target != before and len(target.strip()) >= 1, "Space announces the first target (%r)" % target)
        miss = next(k for k in "qzx" if k not in target)
        dispatch(miss)
        expect(spoken().startswith("間違い") and miss in spoken(), "a miss announced with its character (%r)"
               % spoken())
        # The bar advances every 30 ms and goes on after a miss; a screen reader hears its value in
        # quarters only, so some 1.5 s into the target it hears a whole quarter, not the position.
        time.sleep(1.5)
        value = browser.evaluate("document.querySelector('[role=progressbar]').getAttribute('aria-valuenow')")
        expect(value in ("25", "50", "75"), "the bar's value told in quarters while it runs (%s)" % value)
        # Space ends the drill: the results are read, the caption of the panel under them is not.
        dispatch(" ")
        time.sleep(0.2)
        texts = " ".join(name for _, name, _, _ in accessible(browser))
        expect("出題数" in texts and "Panel9" not in texts,
               "the results read without the caption of the panel under them (%s)" % texts[:80])
        browser.evaluate("document.querySelectorAll('[aria-label=\"バージョン情報\"]')[1].click()")
        time.sleep(0.2)
        tree = accessible(browser)
        expect(any(role == "dialog" and name == "バージョン情報" for role, name, _, _ in tree),
               "the info button pressed through the tree shows the About box as a dialog")
        expect(browser.evaluate("document.activeElement.getAttribute('role') === 'button' && "
                                "!!document.activeElement.closest('.tr-dialog')"),
               "the About box's button holds the focus while it is open")
        browser.evaluate("document.querySelector('.tr-dialog [role=button]:not(.tr-close)').click()")
        time.sleep(0.2)
        expect(browser.evaluate("document.activeElement.classList.contains('tr-main')"),
               "the focus goes back to the main window when the About box closes")
        check_shift_hints(browser, expect, dispatch)
        return checks.status()


# The tool-tips the page shows and the descriptions it gives readers, keyed by the text each control
# shows; the shift button by its name.
HINTS = """(function () {
  var out = {};
  document.querySelectorAll('.tr-c').forEach(function (el) {
    if (el.offsetParent === null) return;
    var shown = el.getAttribute('aria-label') || (el.trSpoken ? el.trSpoken.textContent : '');
    if (shown) out[shown] = [el.getAttribute('title') || '', el.getAttribute('aria-description') || ''];
  });
  return out;
})()"""


def check_shift_hints(browser, expect, dispatch):
    """The keyboard picture: Shift changes the keys' hints, and the page's tool-tips and readers'
    descriptions follow at once; the presses of a quick triple click count as the desktop counts
    them, a click, a double click's second press and a click again, so Shift toggles twice."""
    for _ in range(4):
        dispatch("ArrowDown")
    browser.evaluate("document.querySelector('[aria-label=\"O K\"]').click()")
    time.sleep(0.2)
    shift = browser.evaluate("(function () { var r = document.querySelector('[aria-label=\"Shift\"]')"
                             ".getBoundingClientRect(); return [r.left + r.width / 2, r.top + r.height / 2]; })()")

    def press(count):
        for kind in ("mousePressed", "mouseReleased"):
            browser.call("Input.dispatchMouseEvent", type=kind, x=shift[0], y=shift[1], button="left",
                         buttons=1 if kind == "mousePressed" else 0, clickCount=count)

    hints = browser.evaluate(HINTS)
    expect(hints.get("1", [""])[0] == "左小指" and hints.get("Shift", [""])[0] == "シフト状態にします",
           "the keyboard picture's tool-tips before Shift (%s, %s)" % (hints.get("1"), hints.get("Shift")))
    press(1)
    time.sleep(0.2)
    hints = browser.evaluate(HINTS)
    tip, description = hints.get("!", ["", ""])
    expect(tip == "イクスクラメーション" and "イクスクラメーション" in description and "左小指" not in description,
           "after Shift the ! key's tool-tip and description are its shifted hint (%s)" % hints.get("!"))
    expect(hints.get("Shift", [""])[0] == "シフト状態を解除します",
           "after Shift its own tool-tip offers to leave the shift state (%s)" % hints.get("Shift"))
    for count in (1, 2, 3):
        press(count)
    time.sleep(0.2)
    hints = browser.evaluate(HINTS)
    expect("!" in hints and "1" not in hints, "a quick triple click on Shift toggles it twice (%s)"
           % sorted(hints)[:12])


# The page's boxes of a given size that are shown, as [left, top] of each in the viewport.
BOXES = """(function (w, h) {
  var out = [];
  document.querySelectorAll('.tr-c, .tr-window').forEach(function (el) {
    var r = el.getBoundingClientRect();
    if (el.offsetParent !== null && Math.round(r.width) === w && Math.round(r.height) === h)
      out.push([Math.round(r.left), Math.round(r.top)]);
  });
  return out;
})(%d, %d)"""


def resize(args):
    """A window smaller than the screen that goes full screen, then smaller again, in any phase."""
    checks = Checks("resize")
    expect = checks.expect

    def screen(width, height):
        browser.screen(width, height)
        browser.wait_for("document.documentElement.clientWidth === %d && innerHeight === %d" % (width, height), 5)
        time.sleep(0.1)

    def boxes(width, height):
        return browser.evaluate(BOXES % (width, height))

    def centred(extent, box):
        return (extent - box) // 2

    with opened(args.site, "800x600") as (server, browser):
        # A window smaller than its 1024x768 screen: the start screen takes the first key, and the
        # program starts after it.
        browser.screen(800, 600, screenWidth=1024, screenHeight=768)
        browser.navigate(server.url("index.html"))
        shown = browser.wait_for("document.getElementById('start') && document.getElementById('start').textContent", 30)
        expect(shown and "キーを押すか、クリックしてください" in shown, "the start screen asks for a key (%r)" % shown)
        time.sleep(0.5)
        expect(not browser.evaluate("document.querySelector('.tr-main') !== null"),
               "the program waits for the start screen's key")
        browser.key("a")
        expect(browser.wait_for("document.querySelector('.tr-main') !== null && !document.getElementById('start')", 30),
               "the key starts the program and the start screen leaves")
        time.sleep(0.3)
        expect(browser.evaluate("document.activeElement.classList.contains('tr-main')"),
               "the program holds the focus once started")
        # The page cancels only what the program consumed: the browser keeps its shortcuts.
        kept = browser.evaluate("""['a', 'f:ctrl', 'c:meta', '+:ctrl', 'F5'].map(function (k) {
            var parts = k.split(':'), e = new KeyboardEvent('keydown', {key: parts[0], ctrlKey: parts[1] === 'ctrl',
                metaKey: parts[1] === 'meta', bubbles: true, cancelable: true});
            document.activeElement.dispatchEvent(e);
            return e.defaultPrevented; })""")
        expect(kept[:4] == [True, False, False, False], "a letter is the program's, Ctrl+F, Cmd+C and Ctrl+plus "
               "the browser's (%s)" % kept)
        # A key an input method takes shows how to switch it off, until a key reaches the program.
        browser.evaluate("document.activeElement.dispatchEvent(new KeyboardEvent('keydown', {key: 'Process',"
                         " bubbles: true, cancelable: true}))")
        hint = browser.evaluate("(document.querySelector('.tr-hint') || {}).textContent")
        expect(hint and "半角英数" in hint, "an input method's key shows the hint (%r)" % hint)
        browser.key("b")
        expect(browser.evaluate("document.querySelector('.tr-hint').style.display") == "none",
               "the next key the program hears hides the hint")
        browser.key("F1")
        time.sleep(0.2)
        expect([centred(800, 140), centred(600, 140)] in boxes(140, 140), "the target box centred on 800x600 (%s)"
               % boxes(140, 140))
        for width, height in ((1024, 768), (1023, 767), (640, 480)):
            screen(width, height)
            place = [centred(width, 140), centred(height, 140)]
            expect(place in boxes(140, 140), "the target box at %s on %dx%d (%s)" % (place, width, height,
                                                                                    boxes(140, 140)))
            bar = boxes(width, 17)
            expect([0, height - 17] in bar, "the progress bar along the bottom of %dx%d (%s)" % (width, height, bar))
        screen(1024, 768)
        browser.key(" ")
        time.sleep(0.1)
        for _ in range(6):
            target = browser.evaluate("document.querySelector('[aria-live]').textContent")
            browser.key(target.strip()[:1] or "a")
        for k in "qq":
            browser.key(k)
        # The cat paw beside the miss is drawn at its own size, as on the desktop, not stretched to
        # its box.
        pictures = browser.evaluate("Array.from(document.querySelectorAll('canvas.tr-c')).filter(function (c) {"
                                    " return c.offsetParent !== null; }).map(function (c) {"
                                    " var r = c.getBoundingClientRect(); return [c.width, c.height, r.width,"
                                    " r.height]; })")
        expect(pictures and all(p[0] == p[2] and p[1] == p[3] for p in pictures),
               "the shown pictures at their own size (%s)" % pictures)
        browser.key(" ")
        time.sleep(0.2)
        for width, height in ((1024, 768), (800, 600), (1023, 768)):
            screen(width, height)
            panels = boxes(150, 125)
            left = centred(width, 150)
            expect([left - 100, 350] in panels and [left + 100, 350] in panels,
                   "the weak-key and strong-key panels at %d and %d on %dx%d (%s)" % (left - 100, left + 100, width,
                                                                                     height, panels))
        for _ in range(6):
            browser.key("ArrowDown")
        browser.key("F1")
        time.sleep(0.2)
        for width, height in ((1023, 768), (1024, 768), (800, 600)):
            screen(width, height)
            place = [centred(width, 800), centred(height, 330)]
            expect(place in boxes(800, 330), "the keyboard picture at %s on %dx%d (%s)" % (place, width, height,
                                                                                          boxes(800, 330)))
        # The About box keeps its caption bar inside the page, whatever the page's new size.
        screen(1024, 768)
        browser.evaluate("document.querySelectorAll('[aria-label=\"バージョン情報\"]')[1].click()")
        time.sleep(0.2)
        screen(320, 240)
        about = browser.evaluate("(function () { var r = document.querySelector('.tr-dialog')"
                                 ".getBoundingClientRect(); return [r.left, r.top, r.right, r.bottom]; })()")
        expect(about[0] >= 0 and about[1] >= 0 and about[2] <= 320 and about[3] <= 240,
               "the About box inside a 320x240 page (%s)" % about)
        expect(browser.exceptions == 0, "no exception on the page (%d)" % browser.exceptions)
        return checks.status()


if __name__ == "__main__":
    sys.exit(driven.main(Chromium, {"a11y": a11y, "safety": safety, "update": update, "resize": resize, "paint": paint,
                                    "cold": cold}))
