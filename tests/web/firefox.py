#!/usr/bin/python3
"""Runs the browser program's test pages in headless Firefox ESR, driven over WebDriver BiDi, which
Firefox speaks itself: the same pages chromium.py runs in Chromium, in a second engine (Gecko).

  firefox.py run --site DIR --program PATH/NAME.js [--size WxH] [-- ARGS...]
  firefox.py offline --site DIR, firefox.py update --site DIR --stage DIR
      as driven.py runs them
"""

import os
import re
import sys

import websocket

import driven

FIREFOX = os.environ.get("TAPIRUN_FIREFOX", "/usr/bin/firefox-esr")
# The preferences every Firefox of the tests has, and a device pixel per CSS pixel whatever the screen.
with open(os.path.join(driven.HERE, "firefox-user.js"), encoding="utf-8") as prefs:
    PREFS = prefs.read() + 'user_pref("layout.css.devPixelsPerPx", "1.0");\n'


class Firefox(driven.Browser):
    """One headless Firefox with a fresh profile and a private home, and a BiDi session; the
    program's lines are echoed as the page logs them."""

    def __init__(self, size="1024x768"):
        super().__init__("firefox")
        os.makedirs(os.path.join(self.home, "home"))
        with open(os.path.join(self.home, "user.js"), "w") as f:
            f.write(PREFS)
        width, height = (int(v) for v in size.split("x"))
        self.spawn([FIREFOX, "--headless", "--no-remote", "--remote-debugging-port=0", "--profile", self.home,
                    "--width", str(width), "--height", str(height), "about:blank"],
                   HOME=os.path.join(self.home, "home"), MOZ_CRASHREPORTER_DISABLE="1")
        found = driven.until(lambda: self.processes[0].poll() is not None or re.search(
            r"WebDriver BiDi listening on (ws://[0-9.:]+)", open(self.log.name).read()), 60)
        if found in (None, True):
            self.close()
            raise RuntimeError("firefox did not start its WebDriver BiDi server")
        self.ws = websocket.create_connection(found.group(1) + "/session", timeout=60, suppress_origin=True)
        self.call("session.new", capabilities={})
        self.call("session.subscribe", events=["log.entryAdded"])
        self.context = self.call("browsingContext.getTree")["contexts"][0]["context"]
        self.call("browsingContext.setViewport", context=self.context, viewport={"width": width, "height": height})

    def event(self, method, params):
        if method == "log.entryAdded":
            print(params.get("text", ""), flush=True)

    def evaluate(self, expression):
        result = self.call("script.evaluate", expression=expression, awaitPromise=True,
                           target={"context": self.context})
        if result.get("type") == "exception":
            raise RuntimeError("%s: %s" % (expression, result.get("exceptionDetails", {}).get("text")))
        value = result.get("result", {})
        return value.get("value") if value.get("type") not in ("undefined", "null") else None

    def key(self, value):
        """A key pressed and released as a person's, through the session's keyboard."""
        self.call("input.performActions", context=self.context, actions=[{
            "type": "key", "id": "keyboard",
            "actions": [{"type": "keyDown", "value": value}, {"type": "keyUp", "value": value}]}])

    def picture(self, x, y, width, height):
        clip = {"type": "box", "x": x, "y": y, "width": width, "height": height}
        return self.call("browsingContext.captureScreenshot", context=self.context, clip=clip)["data"], x, y

    def navigate(self, url):
        self.call("browsingContext.navigate", context=self.context, url=url, wait="none")


if __name__ == "__main__":
    sys.exit(driven.main(Firefox))
