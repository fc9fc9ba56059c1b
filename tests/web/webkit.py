#!/usr/bin/python3
"""Runs the browser program's test pages in WebKitGTK (the engine of Safari), its MiniBrowser driven
by WebKitWebDriver over W3C WebDriver: the same pages chromium.py runs in Chromium, in a third
engine. WebKitGTK draws only on a display, so an Xvfb of its own is started here.

  webkit.py run --site DIR --program PATH/NAME.js [--size WxH] [-- ARGS...]
  webkit.py offline --site DIR, webkit.py update --site DIR --stage DIR
      as driven.py runs them
"""

import json
import os
import socket
import sys
import time
import urllib.error
import urllib.request

import driven

DRIVER = os.environ.get("TAPIRUN_WEBKIT_DRIVER", "/usr/bin/WebKitWebDriver")
MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"


class WebKit(driven.Browser):
    """An Xvfb of its own, WebKitWebDriver, and one MiniBrowser session with a private home."""

    def __init__(self, size="1024x768"):
        super().__init__("webkit")
        width, height = (int(v) for v in size.split("x"))
        try:
            # The server takes a free display itself and says which.
            reader, writer = os.pipe()
            xvfb = self.spawn(["Xvfb", "-displayfd", str(writer), "-screen", "0", "%dx%dx24" % (width + 200, height + 200),
                               "-noreset", "-nolisten", "tcp"], pass_fds=(writer,))
            os.close(writer)
            with os.fdopen(reader) as f:
                display = ":" + f.readline().strip()
            if display == ":" or xvfb.poll() is not None:
                raise RuntimeError("Xvfb did not start")
            with socket.socket() as s:
                s.bind(("127.0.0.1", 0))
                port = s.getsockname()[1]
            # Drawn by the processor: with Mesa's software GL a partial repaint may blend a pixel one
            # level off the whole paint's, and the tests compare pictures exactly.
            driver = self.spawn([DRIVER, "--port=%d" % port], DISPLAY=display, HOME=self.home,
                                WEBKIT_SKIA_ENABLE_CPU_RENDERING="1", XDG_CACHE_HOME=os.path.join(self.home, "cache"),
                                XDG_DATA_HOME=os.path.join(self.home, "data"))
            self.base = "http://127.0.0.1:%d" % port
            options = {"binary": MINIBROWSER, "args": ["--automation", "--private"]}
            session = driven.until(lambda: driver.poll() is not None or self._send("POST", "/session", {
                "capabilities": {"alwaysMatch": {"webkitgtk:browserOptions": options}}}), 30,
                errors=(urllib.error.URLError, ConnectionError))
            if not isinstance(session, dict):
                raise RuntimeError("WebKitWebDriver did not start")
            self.session = "/session/" + session["sessionId"]
            # The browser's own bars take part of the window: it is grown until the viewport has the size.
            # A new window size reaches the page a moment after the driver answers, so the viewport is
            # read until it holds still.
            outer, deadline = [width, height], time.time() + 15
            while True:
                self._send("POST", self.session + "/window/rect", {"x": 0, "y": 0, "width": outer[0],
                                                                    "height": outer[1]})
                inner, before, still = None, [], time.time() + 3
                while inner != before and time.time() < still:
                    time.sleep(0.1)
                    before, inner = inner, self.evaluate("[window.innerWidth, window.innerHeight]")
                if inner == [width, height]:
                    break
                if time.time() > deadline:
                    raise RuntimeError("the viewport is %dx%d, not %dx%d" % (inner[0], inner[1], width, height))
                outer = [outer[0] + width - inner[0], outer[1] + height - inner[1]]
        except Exception:
            self.close()
            raise

    def _send(self, method, path, body=None, timeout=60):
        data = json.dumps(body if body is not None else {}).encode() if method == "POST" else None
        request = urllib.request.Request(self.base + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=timeout) as response:
                return json.loads(response.read().decode()).get("value")
        except urllib.error.HTTPError as e:
            raise RuntimeError("%s %s: %s" % (method, path, e.read().decode()[:300]))

    def evaluate(self, expression):
        return self._send("POST", self.session + "/execute/sync", {"script": "return (%s);" % expression, "args": []})

    def settled(self, expression):
        return self._send("POST", self.session + "/execute/async", {
            "script": "var done = arguments[arguments.length - 1]; Promise.resolve(%s).then(done, function (e) {"
                      " done(null); });" % expression, "args": []}, 30)

    def key(self, value):
        """A key pressed and released as a person's, through the session's keyboard."""
        self._send("POST", self.session + "/actions", {"actions": [{
            "type": "key", "id": "keyboard",
            "actions": [{"type": "keyDown", "value": value}, {"type": "keyUp", "value": value}]}]})

    # The driver's screenshot is the whole viewport's.
    def picture(self, x, y, width, height):
        return self._send("GET", self.session + "/screenshot"), 0, 0

    def navigate(self, url):
        self._send("POST", self.session + "/url", {"url": url})

    def close(self):
        if getattr(self, "session", None) and self.processes[-1].poll() is None:
            try:
                self._send("DELETE", self.session, timeout=10)
            except Exception:
                pass
        super().close()

    def output(self):
        return self.evaluate("window.tapirunOutput || []") or []


if __name__ == "__main__":
    sys.exit(driven.main(WebKit))
