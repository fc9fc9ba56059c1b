#!/usr/bin/python3
"""Runs the browser program's pages in headless Chromium, driven over the DevTools protocol.

  chromium.py run --site DIR --program PATH/NAME.js [--size WxH] [-- ARGS...]
      serves the site with the test program beside it, opens it with ?program=NAME and the
      arguments, prints what the program printed and exits with the program's status
  chromium.py offline --site DIR
      opens the site once, stops the server, reloads, and checks that the program starts again
  chromium.py shot --site DIR --out FILE.png [--size WxH] [--keys TEXT]
      a picture of the page, after the keys typed through the DevTools protocol
  chromium.py a11y --site DIR
      the page's accessibility tree read through the DevTools protocol, and buttons pressed in it
  chromium.py paint --site DIR
      the page's first contentful paint, loaded cold and then warm

Needs Debian's python3-websocket, so it runs under /usr/bin/python3. The server and the browser are
started here and stopped by their process ids, whatever happens.
"""

import argparse
import base64
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.parse

import websocket

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import site_server  # noqa: E402

CHROMIUM = os.environ.get("TAPIRUN_CHROMIUM", "/usr/bin/chromium")
# Headless, as root, with nothing of its own running in the background.
FLAGS = [
    "--headless",
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--no-default-browser-check",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-extensions",
    "--disable-features=Translate,MediaRouter",
    "--hide-scrollbars",
    "--force-device-scale-factor=1",
    "--autoplay-policy=no-user-gesture-required",
    "--remote-debugging-port=0",
]


def Server(site, extra=None):
    """The site on a free port, every load fresh, served on a thread of its own."""
    return site_server.Server(site, extra=extra, no_store=True).start()


class Browser:
    """One Chromium with a fresh profile, and a DevTools connection to its page."""

    def __init__(self, size="1024x768", extra_flags=()):
        self.profile = tempfile.mkdtemp(prefix="tapirun-chromium.")
        width, height = size.split("x")
        self.log = open(os.path.join(self.profile, "chromium.log"), "w")
        self.process = subprocess.Popen(
            [CHROMIUM] + FLAGS + list(extra_flags) +
            ["--user-data-dir=" + self.profile, "--window-size=%s,%s" % (width, height), "about:blank"],
            stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log, start_new_session=True)
        port_file = os.path.join(self.profile, "DevToolsActivePort")
        deadline = time.time() + 30
        while not os.path.exists(port_file) or os.path.getsize(port_file) == 0:
            if time.time() > deadline or self.process.poll() is not None:
                self.close()
                raise RuntimeError("chromium did not start its DevTools server")
            time.sleep(0.05)
        time.sleep(0.05)
        port = open(port_file).read().split()[0]
        targets = json.loads(self._get("http://127.0.0.1:%s/json/list" % port))
        page = next(t for t in targets if t["type"] == "page")
        self.ws = websocket.create_connection(page["webSocketDebuggerUrl"], timeout=60,
                                              suppress_origin=True)
        self.next_id = 0
        self.echo = False
        self.call("Runtime.enable")
        self.call("Page.enable")
        # The page's viewport is the test's screen, whatever the headless window keeps for itself.
        self.call("Emulation.setDeviceMetricsOverride", width=int(width), height=int(height),
                  deviceScaleFactor=1, mobile=False)

    @staticmethod
    def _get(url):
        import urllib.request
        for _ in range(100):
            try:
                with urllib.request.urlopen(url, timeout=5) as r:
                    return r.read().decode()
            except OSError:
                time.sleep(0.05)
        raise RuntimeError("no answer from " + url)

    def call(self, method, **params):
        self.next_id += 1
        mine = self.next_id
        self.ws.send(json.dumps({"id": mine, "method": method, "params": params}))
        while True:
            message = json.loads(self.ws.recv())
            if message.get("id") == mine:
                if "error" in message:
                    raise RuntimeError("%s: %s" % (method, message["error"]))
                return message.get("result", {})
            if message.get("method") == "Runtime.consoleAPICalled" and self.echo:
                print(" ".join(str(a.get("value", "")) for a in message["params"]["args"]), flush=True)
            elif message.get("method") == "Runtime.exceptionThrown":
                details = message["params"]["exceptionDetails"]
                print("page exception:", details.get("exception", {}).get("description", details.get("text")),
                      file=sys.stderr, flush=True)

    def evaluate(self, expression, await_promise=False):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True,
                           awaitPromise=await_promise)
        if "exceptionDetails" in result:
            raise RuntimeError("%s: %s" % (expression, result["exceptionDetails"]))
        return result["result"].get("value")

    def wait_for(self, expression, limit):
        deadline = time.time() + limit
        while time.time() < deadline:
            try:
                value = self.evaluate(expression)
            except (RuntimeError, websocket.WebSocketTimeoutException):
                value = None
            if value is not None and value is not False:
                return value
            time.sleep(0.1)
        return None

    def navigate(self, url):
        self.call("Page.navigate", url=url)

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", format="png")["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))

    def close(self):
        try:
            self.ws.close()
        except Exception:
            pass
        if self.process.poll() is None:
            try:
                os.killpg(self.process.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait()
        self.log.close()
        shutil.rmtree(self.profile, ignore_errors=True)


def run(args):
    program = os.path.abspath(args.program)
    name = os.path.basename(program)[:-3]
    folder = os.path.dirname(program)
    server = Server(args.site, {name + ".js": program, name + ".wasm": os.path.join(folder, name + ".wasm")})
    browser = Browser(args.size)
    try:
        query = urllib.parse.urlencode([("program", name)] + [("arg", a) for a in args.args] +
                                       [("env", e) for e in args.env])
        browser.navigate(server.url("index.html?" + query))
        # The whole suite runs inside one call of main: the page answers again once it has ended.
        browser.echo = True
        status = browser.wait_for("window.tapirunExit", args.timeout)
        if status is None:
            print("chromium.py: the program did not end within %d s" % args.timeout, file=sys.stderr)
            return 1
        return int(status)
    finally:
        browser.close()
        server.stop()


def offline(args):
    server = Server(args.site)
    browser = Browser()
    try:
        url = server.url("index.html")
        browser.navigate(url)
        started = "document.querySelector('.tr-main') !== null && " \
                  "document.querySelector('.tr-main').style.display !== 'none'"
        if not browser.wait_for(started, 30):
            print("offline: FAIL: the page did not start online", file=sys.stderr)
            return 1
        ready = browser.evaluate(
            "Promise.race([navigator.serviceWorker.ready.then(r => caches.keys()).then(k => k.join(',')),"
            " new Promise(r => setTimeout(() => r(''), 20000))])", True)
        if not ready:
            print("offline: FAIL: no service worker took the page within 20 s", file=sys.stderr)
            return 1
        print("offline: service worker ready, caches:", ready)
        files = browser.evaluate(
            "caches.keys().then(k => caches.open(k[0])).then(c => c.keys()).then(r => r.length)", True)
        print("offline: %s files cached" % files)
        server.stop()
        server = None
        browser.navigate("about:blank")
        time.sleep(0.2)
        browser.navigate(url)
        if not browser.wait_for(started, 30):
            print("offline: FAIL: with the server stopped the page did not start again", file=sys.stderr)
            return 1
        ok = browser.evaluate("document.querySelectorAll('.tr-c').length")
        print("offline: ok, the page started again from its cache with %s controls" % ok)
        return 0
    finally:
        browser.close()
        if server:
            server.stop()


def shot(args):
    server = Server(args.site)
    browser = Browser(args.size)
    try:
        browser.navigate(server.url("index.html"))
        browser.wait_for("document.querySelector('.tr-main') !== null", 30)
        time.sleep(0.3)
        for key in args.keys or "":
            browser.call("Input.dispatchKeyEvent", type="keyDown", key=key, text=key)
            browser.call("Input.dispatchKeyEvent", type="keyUp", key=key)
        time.sleep(0.3)
        browser.screenshot(args.out)
        return 0
    finally:
        browser.close()
        server.stop()


def paint(args):
    """The page's first contentful paint, on a cold and then a warm load, and its transfer sizes."""
    server = Server(args.site)
    browser = Browser()
    try:
        figures = []
        for load in ("cold", "warm"):
            browser.navigate(server.url("index.html?" + load))
            browser.wait_for("document.querySelector('.tr-main') !== null", 30)
            fcp = browser.wait_for(
                "(performance.getEntriesByName('first-contentful-paint')[0] || {}).startTime", 10)
            figures.append("%s_fcp_ms=%.1f" % (load, fcp or -1))
        print("web-page " + " ".join(figures))
        return 0
    finally:
        browser.close()
        server.stop()


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
    server = Server(args.site)
    browser = Browser()
    failures = []

    def expect(condition, what):
        print(("ok   " if condition else "FAIL ") + what)
        if not condition:
            failures.append(what)

    try:
        browser.navigate(server.url("index.html"))
        browser.wait_for("document.querySelector('.tr-main') !== null", 30)
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
        expect(any(role == "progressbar" for role, _, _, _ in tree), "a progress bar")
        expect(("StaticText", "モードを選択してから") in named or
               any(role == "StaticText" and "モードを選択してから" in name for role, name, _, _ in tree),
               "the start message read whole as text")
        expect(not any(role == "dialog" for role, _, _, _ in tree), "the hidden About box is not in the tree")
        expect(("application", "Tapirun") in named, "the main window an application named Tapirun")
        # A screen reader presses a button with a click that no mouse press comes before.
        browser.evaluate("document.querySelector('[aria-label=\"O  K\"]').click()")
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
        target = browser.evaluate("(function () { var before = %s.textContent;"
                                  " document.body.dispatchEvent(new KeyboardEvent('keydown',"
                                  " {key: ' ', bubbles: true, cancelable: true}));"
                                  " return [before, %s.textContent]; })()" % (live, live))
        expect(target[1] != target[0] and len(target[1].strip()) >= 1, "Space announces the first target (%r)"
               % target[1])
        miss = next(k for k in "qzx" if k not in target[1])
        browser.evaluate("document.body.dispatchEvent(new KeyboardEvent('keydown', {key: '%s', bubbles: true,"
                         " cancelable: true}))" % miss)
        expect(spoken().startswith("間違い") and miss in spoken(), "a miss announced with its character (%r)"
               % spoken())
        browser.evaluate("document.querySelectorAll('[aria-label=\"バージョン情報\"]')[1].click()")
        time.sleep(0.2)
        tree = accessible(browser)
        expect(any(role == "dialog" and name == "バージョン情報" for role, name, _, _ in tree),
               "the info button pressed through the tree shows the About box as a dialog")
        return 1 if failures else 0
    finally:
        browser.close()
        server.stop()


def main():
    parser = argparse.ArgumentParser()
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("run")
    p.add_argument("--site", required=True)
    p.add_argument("--program", required=True)
    p.add_argument("--size", default="1024x768")
    p.add_argument("--timeout", type=int, default=240)
    p.add_argument("--env", action="append", default=[], help="NAME=VALUE for the program")
    p.add_argument("args", nargs="*")
    p = sub.add_parser("offline")
    p.add_argument("--site", required=True)
    p = sub.add_parser("shot")
    p.add_argument("--site", required=True)
    p.add_argument("--out", required=True)
    p.add_argument("--size", default="1024x768")
    p.add_argument("--keys", default="")
    p = sub.add_parser("a11y")
    p.add_argument("--site", required=True)
    p = sub.add_parser("paint")
    p.add_argument("--site", required=True)
    args = parser.parse_args()
    return {"run": run, "offline": offline, "shot": shot, "paint": paint, "a11y": a11y}[args.command](args)


if __name__ == "__main__":
    sys.exit(main())
