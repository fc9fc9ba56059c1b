#!/usr/bin/python3
"""Runs the browser program's test pages in WebKitGTK (the engine of Safari), its MiniBrowser driven
by WebKitWebDriver over W3C WebDriver: the same pages chromium.py runs in Chromium, in a third
engine. WebKitGTK draws only on a display, so an Xvfb of its own is started here.

  webkit.py run --site DIR --program PATH/NAME.js [--size WxH] [-- ARGS...]
      serves the site with the test program and the tests' own page (harness.html) beside it, opens
      that with ?program=NAME and the arguments, prints what the program printed and exits with the program's status
  webkit.py offline --site DIR
      opens the site once, stops the server, reloads, and checks that the program starts again

The X server, the driver and the site's server are started here and stopped by their process ids,
whatever happens.
"""

import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import driven  # noqa: E402

DRIVER = os.environ.get("TAPIRUN_WEBKIT_DRIVER", "/usr/bin/WebKitWebDriver")
MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"


def stop(process, seconds=10):
    if process is None or process.poll() is not None:
        return
    try:
        os.killpg(process.pid, signal.SIGTERM)
        process.wait(seconds)
    except ProcessLookupError:
        pass
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class WebKit:
    """An Xvfb of its own, WebKitWebDriver, and one MiniBrowser session with a private home."""

    def __init__(self, size="1024x768"):
        self.home = tempfile.mkdtemp(prefix="tapirun-webkit.")
        self.log = open(os.path.join(self.home, "webkit.log"), "w+")
        self.xvfb = self.driver = None
        width, height = (int(v) for v in size.split("x"))
        try:
            self.display = self._start_xvfb(width, height)
            # Drawn by the processor: with Mesa's software GL a partial repaint may blend a pixel one
            # level off the whole paint's, and the tests compare pictures exactly.
            env = dict(os.environ, DISPLAY=self.display, HOME=self.home, WEBKIT_SKIA_ENABLE_CPU_RENDERING="1",
                       XDG_CACHE_HOME=os.path.join(self.home, "cache"),
                       XDG_DATA_HOME=os.path.join(self.home, "data"))
            port = free_port()
            self.driver = subprocess.Popen([DRIVER, "--port=%d" % port], stdin=subprocess.DEVNULL, stdout=self.log,
                                           stderr=self.log, env=env, start_new_session=True)
            self.base = "http://127.0.0.1:%d" % port
            options = {"binary": MINIBROWSER, "args": ["--automation", "--private"]}
            deadline = time.time() + 30
            while True:
                try:
                    session = self._send("POST", "/session", {"capabilities": {"alwaysMatch": {
                        "webkitgtk:browserOptions": options}}})
                    break
                except (urllib.error.URLError, ConnectionError):
                    if time.time() > deadline or self.driver.poll() is not None:
                        raise RuntimeError("WebKitWebDriver did not start")
                    time.sleep(0.1)
            self.session = "/session/" + session["sessionId"]
            # The browser's own bars take part of the window: it is grown until the viewport has the size.
            # A new window size reaches the page a moment after the driver answers, so the viewport is
            # read until it holds still.
            outer, deadline = [width, height], time.time() + 15
            while True:
                self._send("POST", self.session + "/window/rect", {"x": 0, "y": 0, "width": outer[0],
                                                                    "height": outer[1]})
                inner = self._viewport()
                if inner == [width, height]:
                    break
                if time.time() > deadline:
                    raise RuntimeError("the viewport is %dx%d, not %dx%d" % (inner[0], inner[1], width, height))
                outer = [outer[0] + width - inner[0], outer[1] + height - inner[1]]
        except Exception:
            self.close()
            raise

    def _viewport(self):
        inner, deadline = None, time.time() + 3
        while True:
            time.sleep(0.1)
            now = self.evaluate("[window.innerWidth, window.innerHeight]")
            if now == inner or time.time() > deadline:
                return now
            inner = now

    def _start_xvfb(self, width, height):
        for n in range(80, 90):
            if os.path.exists("/tmp/.X%d-lock" % n) or os.path.exists("/tmp/.X11-unix/X%d" % n):
                continue
            self.xvfb = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", "%dx%dx24" % (width + 200, height + 200),
                                          "-noreset", "-nolisten", "tcp"], stdin=subprocess.DEVNULL,
                                         stdout=self.log, stderr=self.log, start_new_session=True)
            for _ in range(50):
                try:
                    with open("/tmp/.X%d-lock" % n) as f:
                        if f.read().strip() == str(self.xvfb.pid) and os.path.exists("/tmp/.X11-unix/X%d" % n):
                            return ":%d" % n
                except OSError:
                    pass
                if self.xvfb.poll() is not None:
                    break
                time.sleep(0.1)
            stop(self.xvfb)
            self.xvfb = None
        raise RuntimeError("no X display could be started on :80..:89")

    def _send(self, method, path, body=None, timeout=60):
        data = json.dumps(body if body is not None else {}).encode() if method == "POST" else None
        request = urllib.request.Request(self.base + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=timeout) as response:
                return json.loads(response.read().decode()).get("value")
        except urllib.error.HTTPError as e:
            raise RuntimeError("%s %s: %s" % (method, path, e.read().decode()[:300]))

    def evaluate(self, expression, timeout=60):
        return self._send("POST", self.session + "/execute/sync", {"script": "return (%s);" % expression, "args": []},
                          timeout)

    def evaluate_async(self, expression, timeout=60):
        """EXPRESSION gives a promise; its value once settled."""
        return self._send("POST", self.session + "/execute/async", {
            "script": "var done = arguments[arguments.length - 1]; Promise.resolve(%s).then(done, function (e) {"
                      " done(null); });" % expression, "args": []}, timeout)

    def wait_for(self, expression, limit):
        deadline = time.time() + limit
        while time.time() < deadline:
            try:
                value = self.evaluate(expression, max(1, deadline - time.time()))
            except (RuntimeError, OSError):
                value = None
            if value is not None and value is not False:
                return value
            time.sleep(0.1)
        return None

    def key(self, value):
        """A key pressed and released as a person's, through the session's keyboard."""
        self._send("POST", self.session + "/actions", {"actions": [{
            "type": "key", "id": "keyboard",
            "actions": [{"type": "keyDown", "value": value}, {"type": "keyUp", "value": value}]}]})

    def start(self, limit):
        """Waits for the program, answering the start screen a window smaller than its screen shows."""
        started = "document.querySelector('.tr-main') !== null && " \
                  "document.querySelector('.tr-main').style.display !== 'none'"
        deadline = time.time() + limit
        while time.time() < deadline:
            state = self.wait_for("(%s) ? 'program' : document.getElementById('start') ? 'start' : null" % started,
                                  deadline - time.time())
            if state == "program":
                return True
            if state == "start":
                self.key("a")
                time.sleep(0.2)
        return False

    # The driver's screenshot is the whole viewport's.
    def picture(self, x, y, width, height):
        return self._send("GET", self.session + "/screenshot"), 0, 0

    def navigate(self, url, timeout=60):
        self._send("POST", self.session + "/url", {"url": url}, timeout)

    def close(self):
        if self.driver is not None and self.driver.poll() is None and getattr(self, "session", None):
            try:
                self._send("DELETE", self.session, timeout=10)
            except Exception:
                pass
        stop(self.driver)
        stop(self.xvfb)
        self.log.close()
        shutil.rmtree(self.home, ignore_errors=True)

    def settled(self, expression):
        return self.evaluate_async(expression, 30)

    def output(self):
        return self.evaluate("window.tapirunOutput || []") or []


if __name__ == "__main__":
    sys.exit(driven.main(WebKit, "webkit.py"))
