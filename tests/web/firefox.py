#!/usr/bin/python3
"""Runs the browser program's test pages in headless Firefox ESR, driven over WebDriver BiDi, which
Firefox speaks itself: the same pages chromium.py runs in Chromium, in a second engine (Gecko).

  firefox.py run --site DIR --program PATH/NAME.js [--size WxH] [-- ARGS...]
      serves the site with the test program and the tests' own page (harness.html) beside it, opens
      that with ?program=NAME and the arguments, prints what the program printed and exits with the program's status
  firefox.py offline --site DIR
      opens the site once, stops the server, reloads, and checks that the program starts again

Needs Debian's python3-websocket, so it runs under /usr/bin/python3. The server and the browser are
started here and stopped by their process ids, whatever happens.
"""

import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import websocket

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import driven  # noqa: E402

FIREFOX = os.environ.get("TAPIRUN_FIREFOX", "/usr/bin/firefox-esr")
# The preferences every Firefox of the tests has, and a device pixel per CSS pixel whatever the screen.
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "firefox-user.js"), encoding="utf-8") as prefs:
    PREFS = prefs.read() + 'user_pref("layout.css.devPixelsPerPx", "1.0");\n'


class Firefox:
    """One headless Firefox with a fresh profile and a private home, and a BiDi session."""

    def __init__(self, size="1024x768"):
        self.profile = tempfile.mkdtemp(prefix="tapirun-firefox.")
        home = os.path.join(self.profile, "home")
        os.makedirs(home)
        with open(os.path.join(self.profile, "user.js"), "w") as f:
            f.write(PREFS)
        width, height = (int(v) for v in size.split("x"))
        self.log = open(os.path.join(self.profile, "firefox.log"), "w+")
        env = dict(os.environ, HOME=home, MOZ_CRASHREPORTER_DISABLE="1")
        self.process = subprocess.Popen(
            [FIREFOX, "--headless", "--no-remote", "--remote-debugging-port=0", "--profile", self.profile,
             "--width", str(width), "--height", str(height), "about:blank"],
            stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log, env=env, start_new_session=True)
        url = None
        deadline = time.time() + 60
        while url is None:
            if time.time() > deadline or self.process.poll() is not None:
                self.close()
                raise RuntimeError("firefox did not start its WebDriver BiDi server")
            time.sleep(0.1)
            self.log.seek(0)
            found = re.search(r"WebDriver BiDi listening on (ws://[0-9.:]+)", self.log.read())
            url = found.group(1) if found else None
        self.ws = websocket.create_connection(url + "/session", timeout=60, suppress_origin=True)
        self.next_id = 0
        self.echo = True
        self.call("session.new", capabilities={})
        self.call("session.subscribe", events=["log.entryAdded"])
        tree = self.call("browsingContext.getTree")
        self.context = tree["contexts"][0]["context"]
        self.call("browsingContext.setViewport", context=self.context, viewport={"width": width, "height": height})

    def call(self, method, **params):
        self.next_id += 1
        mine = self.next_id
        self.ws.send(json.dumps({"id": mine, "method": method, "params": params}))
        while True:
            message = json.loads(self.ws.recv())
            if message.get("id") == mine:
                if message.get("type") == "error":
                    raise RuntimeError("%s: %s %s" % (method, message.get("error"), message.get("message")))
                return message.get("result", {})
            if message.get("method") == "log.entryAdded" and self.echo:
                entry = message["params"]
                print(entry.get("text", ""), flush=True)

    def evaluate(self, expression, await_promise=False):
        result = self.call("script.evaluate", expression=expression, awaitPromise=await_promise,
                           target={"context": self.context})
        if result.get("type") == "exception":
            raise RuntimeError("%s: %s" % (expression, result.get("exceptionDetails", {}).get("text")))
        value = result.get("result", {})
        return value.get("value") if value.get("type") not in ("undefined", "null") else None

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

    def key(self, value):
        """A key pressed and released as a person's, through the session's keyboard."""
        self.call("input.performActions", context=self.context, actions=[{
            "type": "key", "id": "keyboard",
            "actions": [{"type": "keyDown", "value": value}, {"type": "keyUp", "value": value}]}])

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

    def picture(self, x, y, width, height):
        clip = {"type": "box", "x": x, "y": y, "width": width, "height": height}
        return self.call("browsingContext.captureScreenshot", context=self.context, clip=clip)["data"], x, y

    def navigate(self, url):
        self.call("browsingContext.navigate", context=self.context, url=url, wait="none")

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

    def settled(self, expression):
        return self.evaluate(expression, True)

    # The program's lines are echoed as the page logs them.
    def output(self):
        return []


if __name__ == "__main__":
    sys.exit(driven.main(Firefox, "firefox.py"))
