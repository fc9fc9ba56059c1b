"""The commands of the browser drivers that speak WebDriver (firefox.py, webkit.py): each only says
how its browser is started, asked and closed; what is run and checked is the same in every engine.

A browser object offers navigate(url), wait_for(expression, seconds), start(seconds),
evaluate(expression), settled(promise expression), picture(x, y, width, height) (a PNG in base64 of
at least that part of the viewport, and the place of its top-left corner), output() (the lines the
program printed, where the driver does not echo them as they come) and close().
"""

import argparse
import os
import sys
import time
import urllib.parse

from chromium import Server, serve_program  # noqa: E402


def run(args, open_browser, tool):
    program = os.path.abspath(args.program)
    name = os.path.basename(program)[:-3]
    folder = os.path.dirname(program)
    here = os.path.dirname(os.path.abspath(__file__))
    server = Server(args.site, {name + ".js": program, name + ".wasm": os.path.join(folder, name + ".wasm"),
                                "harness.html": os.path.join(here, "harness.html"),
                                "harness.js": os.path.join(here, "harness.js")})
    browser = None
    try:
        browser = open_browser(args.size)
        query = urllib.parse.urlencode([("program", name)] + [("arg", a) for a in args.args])
        browser.navigate(server.url("harness.html?" + query))
        # The page answers whenever the program waits for a picture, and once it has ended.
        status = serve_program(browser, args.timeout)
        for line in browser.output():
            print(line)
        if status is None:
            print("%s: the program did not end within %d s" % (tool, args.timeout), file=sys.stderr)
            return 1
        return int(status)
    finally:
        if browser:
            browser.close()
        server.stop()


def offline(args, open_browser):
    server = Server(args.site)
    browser = None
    try:
        browser = open_browser("1024x768")
        url = server.url("index.html")
        browser.navigate(url)
        if not browser.start(30):
            print("offline: FAIL: the page did not start online", file=sys.stderr)
            return 1
        ready = browser.settled(
            "Promise.race([navigator.serviceWorker.ready.then(r => caches.keys()).then(k => k.join(',')),"
            " new Promise(r => setTimeout(() => r(''), 20000))])")
        if not ready:
            print("offline: FAIL: no service worker took the page within 20 s", file=sys.stderr)
            return 1
        print("offline: service worker ready, caches:", ready)
        server.stop()
        server = None
        browser.navigate("about:blank")
        time.sleep(0.2)
        browser.navigate(url)
        if not browser.start(30):
            print("offline: FAIL: with the server stopped the page did not start again", file=sys.stderr)
            return 1
        print("offline: ok, the page started again from its cache with %s controls"
              % browser.evaluate("document.querySelectorAll('.tr-c').length"))
        return 0
    finally:
        if browser:
            browser.close()
        if server:
            server.stop()


def main(open_browser, tool):
    parser = argparse.ArgumentParser()
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("run")
    p.add_argument("--site", required=True)
    p.add_argument("--program", required=True)
    p.add_argument("--size", default="1024x768")
    p.add_argument("--timeout", type=int, default=240)
    p.add_argument("args", nargs="*")
    p = sub.add_parser("offline")
    p.add_argument("--site", required=True)
    args = parser.parse_args()
    if args.command == "run":
        return run(args, open_browser, tool)
    return offline(args, open_browser)
