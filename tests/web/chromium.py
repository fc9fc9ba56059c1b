#!/usr/bin/python3
"""Runs the browser program's pages in headless Chromium, driven over the DevTools protocol.

  chromium.py run --site DIR --program PATH/NAME.js [--size WxH] [--faces] [-- ARGS...]
  chromium.py offline --site DIR, chromium.py update --site DIR --stage DIR
      as driven.py runs them in every engine
  chromium.py a11y --site DIR
      the page's accessibility tree read through the DevTools protocol, and buttons pressed in it
  chromium.py safety --site DIR
      the published page runs only its own program whatever its address, under its policy
  chromium.py resize --site DIR
      the program started in a viewport smaller than the screen, which then changes size: every
      control placed from the screen's size stands where it would have stood had it started there
  chromium.py paint --site DIR, chromium.py cold --site DIR (for make bench)
      the page's first contentful paint, cold and warm; a new learner's first visit on a slow line
      with no Japanese face installed: the seconds until the window shows and the bytes sent
"""

import base64
import glob
import hashlib
import json
import os
import re
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
# Headless, with the flags every test starts Chromium with.
with open(os.path.join(HERE, "chromium-flags"), encoding="utf-8") as listed:
    FLAGS = ["--headless"] + [line.strip() for line in listed if line.strip() and not line.startswith("#")] + [
        "--hide-scrollbars", "--autoplay-policy=no-user-gesture-required", "--remote-debugging-port=0"]


class Chromium(driven.Browser):
    """One Chromium with a fresh profile, and a DevTools connection to its page; the page's console
    lines are echoed as they come, and its exceptions counted."""

    no_system_faces = {"japanese_faces": False}

    def __init__(self, size="1024x768", japanese_faces=True, kiosk=False, ratio=1.0):
        super().__init__("chromium")
        self.ratio = ratio
        width, height = (int(v) for v in size.split("x"))
        env = {}
        if not japanese_faces:
            # As on most Chromebooks and Macs: a font configuration listing DejaVu's alone.
            env["FONTCONFIG_FILE"] = os.path.join(self.home, "fonts.conf")
            with open(env["FONTCONFIG_FILE"], "w") as f:
                f.write('<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "fonts.dtd">\n<fontconfig>\n'
                        '  <dir>/usr/share/fonts/truetype/dejavu</dir>\n  <cachedir>%s/cache</cachedir>\n'
                        '</fontconfig>\n' % self.home)
        # A kiosk is in the full-screen display mode, and the page shows no start screen there.
        process = self.spawn([CHROMIUM] + FLAGS + (["--kiosk"] if kiosk else []) +
                             ["--user-data-dir=" + os.path.join(self.home, "profile"),
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
        self.logs = None  # a list keeps the browser's own console lines, once Log is enabled
        self.call("Runtime.enable")
        self.call("Page.enable")
        # The page's viewport is the test's screen, whatever the headless window keeps for itself.
        self.screen(width, height)

    def event(self, method, params):
        if self.events is not None:
            self.events.append({"method": method, "params": params})
        if method == "Log.entryAdded" and self.logs is not None:
            self.logs.append(params["entry"].get("text", ""))
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
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=self.ratio,
                  mobile=False, **more)

    def picture(self, x, y, width, height):
        clip = {"x": x, "y": y, "width": width, "height": height, "scale": 1}
        return self.call("Page.captureScreenshot", format="png", clip=clip)["data"], x, y

    # What the update test asks beyond every engine's: the bodies of the files the page received,
    # and an HTTP cache emptied.
    def watch(self):
        self.call("Network.enable")
        self.events = []

    def received(self, pattern):
        """The files the page received since watch() whose names match PATTERN, with the SHA-256
        of each body (None for a body the browser no longer holds, as a preload's once used). Only
        the last document's count: a page that reloads onto a new release has preloaded the old
        one's files before it did, and those never ran."""
        out = []
        responses = [e["params"] for e in list(self.events or []) if e["method"] == "Network.responseReceived"]
        documents = [r["loaderId"] for r in responses if r.get("type") == "Document"]
        for params in responses:
            if documents and params.get("loaderId") != documents[-1]:
                continue
            name = urllib.parse.urlsplit(params["response"]["url"]).path.rsplit("/", 1)[-1]
            if not re.fullmatch(pattern, name):
                continue
            try:
                body = self.call("Network.getResponseBody", requestId=params["requestId"])
            except RuntimeError:
                out.append((name, None))
                continue
            data = base64.b64decode(body["body"]) if body["base64Encoded"] else body["body"].encode()
            out.append((name, hashlib.sha256(data).hexdigest()))
        return out

    def clear_http_cache(self):
        self.call("Network.clearBrowserCache")
        return True


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


# The files named after their contents.
NAMED = driven.serve_web.HASHED


def failure_line(browser):
    """The line saying why the page cannot start, once there is one; the start screen's key given."""
    state = browser.evaluate("document.getElementById('start') ? 'start' :"
                             " (document.querySelector('#loading.failed') || {}).textContent || null")
    if state == "start":
        browser.key("a")
        return None
    return state


def safety(args):
    """The published page runs no script but its own whatever its address says, under its policy,
    and with the headers a host should send, which the site's headers file gives the hosts that
    read one; its files' names are ones every host serves, and a build whose files hold one a host
    may refuse fails; a broken program file is said in one line."""
    checks = Checks("safety")
    site_files = [os.path.relpath(os.path.join(d, f), args.site).replace(os.sep, "/")
                  for d, _, names in os.walk(args.site) for f in names]
    named = sorted(f for f in site_files if NAMED.search(f))
    with opened(args.site, cache=None) as (server, browser):
        work = browser.home
        with open(os.path.join(work, "x.js"), "w") as f:
            f.write("window.foreignRan = true;\n")
        foreign = Server(work)
        try:
            status, page = headers(server.url("index.html"))
            policy = page.get("Content-Security-Policy", "")
            checks.expect(status == 200 and "script-src 'self' 'wasm-unsafe-eval';" in policy and
                          "frame-ancestors 'none'" in policy and "default-src 'none'" in policy and
                          "require-trusted-types-for 'script'" in policy,
                          "the page is sent with its policy (%s)" % policy)
            for name, value in driven.serve_web.HEADERS + driven.serve_web.PAGE_HEADERS:
                checks.expect(page.get(name) == value, "%s: %s" % (name, page.get(name)))
            script = headers(server.url(named[0]))[1]
            checks.expect(all(script.get(n) == v for n, v in driven.serve_web.HEADERS) and
                          not any(script.get(n) for n, _ in driven.serve_web.PAGE_HEADERS),
                          "a file the page loads is sent with every file's headers, not the page's (%s)" % named[0])
            with open(os.path.join(args.site, "index.html"), encoding="utf-8") as f:
                meta = re.search(r'http-equiv="Content-Security-Policy" content="([^"]*)"', f.read()).group(1)
            checks.expect(meta == policy.replace(" frame-ancestors 'none';", ""),
                          "the page's own policy is the header's but for frame-ancestors (%s)" % meta)
            checks.expect(all(headers(server.url(p))[1].get("Cache-Control") == "no-cache"
                              for p in ("index.html", "sw.js", "manifest.webmanifest")),
                          "the page, its manifest and the service worker are asked for again each time")
            kept = {f: headers(server.url(f))[1].get("Cache-Control", "") for f in named}
            checks.expect(len(named) >= 10 and all("immutable" in c for c in kept.values()) and
                          {os.path.splitext(f)[1] for f in named} >= {".js", ".wasm", ".css", ".png", ".woff2"},
                          "every file the page loads is named after its contents and kept for ever (%s)" % named)
            # Cloudflare Pages and Netlify read the headers file, and serve it to no one.
            with open(os.path.join(args.site, "_headers"), encoding="utf-8") as f:
                rules = f.read()
            checks.expect(all("  %s: %s\n" % header in rules for header in
                              driven.serve_web.HEADERS + driven.serve_web.PAGE_HEADERS) and
                          all("/%s\n  Cache-Control: %s\n" % (f, driven.serve_web.FOREVER) in rules for f in named),
                          "the headers file gives every header, and every content-named file kept for ever")
            checks.expect(headers(server.url("_headers"))[0] == 404, "the headers file is not served")
            checks.expect(headers(server.url("fonts/"))[0] == 404 and headers(server.url("icons/"))[0] == 404,
                          "no folder is listed")

            # Every breach of the policy, recorded from before the page's first script, and what
            # the browser says about the headers.
            browser.call("Page.addScriptToEvaluateOnNewDocument", source=(
                "window.violations = []; document.addEventListener('securitypolicyviolation', function (e) {"
                " window.violations.push(e.violatedDirective + ' ' + e.blockedURI); });"))
            browser.call("Log.enable")
            browser.logs = []
            other = "127.0.0.1:%d/x" % foreign.port
            for query in ("?program=" + urllib.parse.quote("//" + other, safe=""),
                          "?program=" + urllib.parse.quote("http://" + other, safe="") + "&arg=x&env=A%3DB&arg=--help"):
                browser.navigate(server.url("index.html" + query))
                checks.expect(browser.start(30), "the page starts its own program at index.html" + query)
            checks.expect(not foreign.requests, "the other server saw no request (%s)" % foreign.requests)
            checks.expect(browser.evaluate("window.violations.join(', ')") == "",
                          "the page's own start-up keeps to its policy and writes no HTML (%s)"
                          % browser.evaluate("window.violations"))
            complaints = [line for line in browser.logs if "Policy" in line or "Trusted" in line]
            checks.expect(not complaints, "the browser finds nothing wrong with the headers (%s)" % complaints)
            # Where Trusted Types hold, a script's text or address set from a string is refused
            # before the policy's script-src would refuse it: either way it does not run.
            browser.evaluate(
                "(function () { var s = document.createElement('script');"
                " try { s.textContent = 'window.inlineRan = true'; } catch (e) {}"
                " s.appendChild(document.createTextNode('window.inlineRan = true')); document.body.appendChild(s);"
                " var t = document.createElement('script'); try { t.src = 'http://%s.js'; } catch (e) {}"
                " document.body.appendChild(t); var d = document.createElement('div');"
                " try { d.innerHTML = '<img src=x>'; } catch (e) { window.htmlRefused = true; } })()" % other)
            browser.wait_for("window.violations.length >= 2", 10)
            ran = browser.evaluate("[!!window.inlineRan, !!window.foreignRan, !!window.htmlRefused]")
            checks.expect(ran == [False, False, True] and not foreign.requests,
                          "the policy is in force: neither an inline script nor one of another origin ran, and "
                          "no HTML string is written (%s, requests %s)" % (ran, foreign.requests))
        finally:
            foreign.stop()

        # A host holding a program file broken: the page says so in one line.
        def program(site, ext):
            return glob.glob(os.path.join(site, "tapirun.*." + ext))[0]

        for ext, damage, how in (("wasm", "cut in half", driven.cut), ("js", "missing", os.remove),
                                 ("js", "not JavaScript", lambda p: open(p, "w").write("<html>{{{"))):
            broken_site = os.path.join(work, "broken")
            shutil.rmtree(broken_site, ignore_errors=True)
            shutil.copytree(args.site, broken_site)
            how(program(broken_site, ext))
            broken = Server(broken_site)
            browser.navigate(broken.url("index.html"))
            said = driven.until(lambda: failure_line(browser), 30, errors=browser.errors)
            broken.stop()
            checks.expect(bool(said) and "\n" not in said, "tapirun.*.%s %s is said in one line (%r)" % (ext, damage, said))

    # A file whose name a host may refuse fails the build, whatever else the site holds.
    if args.stage:
        source = os.path.join(HERE, "..", "..", "dist", "web")
        for stray in (".DS_Store", "_config.js", "icons/tapirun~"):
            with tempfile.TemporaryDirectory(prefix="tapirun-names.") as scratch:
                stage = os.path.join(scratch, "stage")
                shutil.copytree(args.stage, stage)
                open(os.path.join(stage, stray), "w").close()
                made = subprocess.run(["/usr/bin/python3", os.path.join(source, "site.py"), "publish", stage,
                                       os.path.join(scratch, "site"), os.path.join(source, "sw.js.in")],
                                      capture_output=True, text=True)
                checks.expect(made.returncode != 0 and os.path.basename(stray) in made.stderr,
                              "a site holding %s is not made (%s)" % (stray, made.stderr.strip()))
    return checks.status()


def paint(args):
    """The page's first contentful paint, on a cold and then a warm load, in a kiosk (no start
    screen)."""
    with opened(args.site, kiosk=True) as (server, browser):
        figures = []
        for load in ("cold", "warm"):
            browser.navigate(server.url("index.html?" + load))
            browser.wait_for(STARTED, 30)
            fcp = browser.wait_for(
                "(performance.getEntriesByName('first-contentful-paint')[0] || {}).startTime", 10)
            figures.append("%s_fcp_ms=%.1f" % (load, fcp or -1))
        print("web-page " + " ".join(figures))
        return 0


def cold(args):
    """A new learner's first visit on a school's line: Chromium in a kiosk with no Japanese face on
    the system (a font configuration listing only DejaVu), its link emulated at 10 Mbit/s with 40 ms
    round trips, behind a host that sends ETags and compresses. Prints the seconds until the program's window is on the screen and the bytes the server
    sent for the whole visit, the service worker's copy included."""
    with opened(args.site, cache=None, japanese_faces=False, kiosk=True) as (server, browser):
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


def live_texts(browser):
    """The texts of the accessibility tree's assertive live regions, as a screen reader hears them."""
    nodes = browser.call("Accessibility.getFullAXTree")["nodes"]
    by_id = {n["nodeId"]: n for n in nodes}

    def texts(node):
        own = [node.get("name", {}).get("value", "")] if node.get("role", {}).get("value") == "StaticText" else []
        return own + [t for child in node.get("childIds", []) if child in by_id for t in texts(by_id[child])]

    return [t for n in nodes if not n.get("ignored") and any(
        p["name"] == "live" and p.get("value", {}).get("value") == "assertive" for p in n.get("properties", []))
        for t in texts(n)]


def a11y(args):
    """What a screen reader finds on the start screen, and a press of OK through it."""
    checks = Checks("a11y")
    expect = checks.expect
    with opened(args.site) as (server, browser):
        browser.navigate(server.url("index.html"))
        browser.start(30)
        browser.call("Accessibility.enable")
        # The live region is there, empty, from the window's creation: a region made together
        # with its first line is often not read.
        region = browser.evaluate("Array.from(document.querySelectorAll('.tr-main > .tr-live')).map(function (e) {"
                                  " return [e.textContent, e.getAttribute('aria-live'), e.getAttribute('role')]; })")
        expect(region == [["", "assertive", None]], "the main window's live region waits empty, one politeness (%s)"
               % region)
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
        live = "document.querySelector('.tr-main > [aria-live]')"
        spoken = lambda: browser.evaluate(live + " ? " + live + ".textContent : ''")
        heard = live_texts(browser)
        expect(heard == ["開始するときは スペース・キー"],
               "the prepared drill's message, the first line, read in the live region of the tree (%s)" % heard)
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


# The left edge and the width of the shown label whose text begins with the given one.
LABEL3 = """(function (text) {
  var spoken = Array.from(document.querySelectorAll('.tr-spoken')).filter(function (el) {
    return el.textContent.indexOf(text) === 0 && el.parentNode.offsetParent !== null; })[0];
  if (!spoken) return null;
  var r = spoken.parentNode.getBoundingClientRect();
  return [Math.round(r.left), Math.round(r.width)];
})(%s)"""


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
        # A maximised window at 80 % zoom: its viewport, in the page's pixels, is as large as its
        # 1024x768 screen or larger, but the page is in a tab, not full screen: the start screen shows.
        # As in Firefox and Safari, the page cannot read the keyboard's layout: only its keys tell it.
        browser.call("Page.addScriptToEvaluateOnNewDocument",
                     source="if (navigator.keyboard) navigator.keyboard.getLayoutMap = undefined;")
        browser.screen(1280, 860, screenWidth=1024, screenHeight=768)
        browser.call("Emulation.setDeviceMetricsOverride", width=1280, height=860, deviceScaleFactor=0.8,
                     mobile=False, screenWidth=1024, screenHeight=768)
        browser.navigate(server.url("index.html"))
        shown = browser.wait_for("document.getElementById('start') && document.getElementById('start').textContent", 30)
        expect(shown and "キーを押すか、クリックしてください" in shown,
               "a maximised window at 80 %% zoom shows the start screen, which asks for a key (%r)" % shown)
        # Then a window smaller than its 1024x768 screen: the start screen takes the first key, and
        # the program starts after it.
        browser.screen(800, 600, screenWidth=1024, screenHeight=768)
        time.sleep(0.5)
        expect(not browser.evaluate("document.querySelector('.tr-main') !== null"),
               "the program waits for the start screen's key")
        # Modifiers alone, function keys, Escape and the browser's chords are no start: the
        # browser keeps them (F5 reloads, Ctrl+L goes to the address bar, Alt+Left goes back).
        ignored = browser.evaluate("""['Alt', 'Meta', 'Shift', 'F5', 'Escape', 'l:ctrl', 'ArrowLeft:alt', 'Tab',
            'a:meta'].map(function (k) {
            var parts = k.split(':'), e = new KeyboardEvent('keydown', {key: parts[0], ctrlKey: parts[1] === 'ctrl',
                altKey: parts[1] === 'alt' || parts[0] === 'Alt', metaKey: parts[1] === 'meta', bubbles: true,
                cancelable: true});
            document.activeElement.dispatchEvent(e);
            return e.defaultPrevented; })""")
        time.sleep(0.3)
        expect(ignored == [False] * 9 and browser.evaluate("!!document.getElementById('start')") and
               not browser.evaluate("document.querySelector('.tr-main') !== null"),
               "Alt, Meta, Shift, F5, Escape, Ctrl+L, Alt+Left, Tab and Cmd+A leave the start screen and stay the "
               "browser's (%s)" % ignored)
        # A finger's tap: its press is no start, its lift is.
        browser.call("Input.dispatchTouchEvent", type="touchStart", touchPoints=[{"x": 400, "y": 300}])
        time.sleep(0.3)
        expect(browser.evaluate("!!document.getElementById('start')"), "a finger pressed on the start screen waits")
        browser.call("Input.dispatchTouchEvent", type="touchEnd", touchPoints=[])
        expect(browser.wait_for("document.querySelector('.tr-main') !== null && !document.getElementById('start')", 30),
               "the finger lifted starts the program and the start screen leaves")
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
        # The letter gave Label3 the drill's end message, not centred for it; a new screen size
        # leaves it where it stood.
        before = browser.evaluate(LABEL3 % json.dumps("終了する時は"))
        screen(1024, 768)
        after = browser.evaluate(LABEL3 % json.dumps("終了する時は"))
        expect(before and before == after, "Label3 after a key keeps its place on a new screen size (%s, %s)"
               % (before, after))
        screen(800, 600)
        # A keyboard that is not JIS is told once, from its keys, and the drill goes on: "@" right of
        # P is JIS, "[" there and "@" at Shift+2 are not.
        layout = browser.evaluate("""[['@', 'BracketLeft', false], ['[', 'BracketLeft', false],
            ['@', 'Digit2', true]].map(function (k) {
            var e = new KeyboardEvent('keydown', {key: k[0], code: k[1], shiftKey: k[2], bubbles: true, cancelable: true});
            document.activeElement.dispatchEvent(e);
            return [document.querySelectorAll('#layout-note').length, e.defaultPrevented]; })""")
        note = browser.evaluate("(document.getElementById('layout-note') || {}).textContent")
        expect(layout == [[0, True], [1, True], [1, True]] and note and "JIS" in note,
               "a key that is not where JIS has it tells once that the keyboard is not JIS, and reaches the program "
               "(%s, %r)" % (layout, note))
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
            # F1 centred Label3 for its start message: it is centred again for each size.
            label = browser.evaluate(LABEL3 % json.dumps("開始するときは"))
            expect(label and label[0] == centred(width, label[1]), "Label3 centred on %dx%d (%s)"
                   % (width, height, label))
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
        # A new pixel ratio, as a zoom or a move to another monitor makes it, noticed first by the
        # Space that ends the drill and centres its results: the page is laid out at once for the
        # new factor, its bar docked along the new bottom edge.
        browser.ratio = 1.5
        browser.screen(1024, 768)
        browser.key(" ")
        time.sleep(0.2)
        bar = browser.evaluate("(function () { var r = document.querySelector('[aria-valuenow]')"
                               ".getBoundingClientRect(); return [Math.round(r.width), Math.round(r.bottom)]; })()")
        expect(bar == [1024, 768], "the progress bar spans the bottom of the page after a new pixel ratio (%s)" % bar)
        # And back, with a new size: headless Chromium sends an emulated ratio no media-query change
        # or resize of its own.
        browser.ratio = 1
        screen(1000, 700)
        for width, height in ((1024, 768), (800, 600), (1023, 768)):
            screen(width, height)
            left = centred(width, 150)
            # The page lays out again in the frame after the resize, which a loaded machine delays.
            placed = lambda panels: [left - 100, 350] in panels and [left + 100, 350] in panels
            driven.until(lambda: placed(boxes(150, 125)), 3)
            panels = boxes(150, 125)
            expect(placed(panels),
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
    sys.exit(driven.main(Chromium, {"a11y": a11y, "safety": safety, "resize": resize, "paint": paint, "cold": cold}))
