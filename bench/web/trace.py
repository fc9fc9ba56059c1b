#!/usr/bin/python3
"""Where a key's time goes in Chromium: the page and the floor page, each in the benchmark's kiosk
on an Xvfb of its own, traced through the DevTools protocol while xdotool types the benchmark's
keys; then, per key, the medians from the browser's receipt of the key to the end of each stage and
the rectangle the browser redrew. Both get the same setup keys, and the rounds alternate which goes
first; each stage's median over all keys is given with the lowest and highest of the rounds' own
medians, the spread inside which a difference is noise.

  bench/web/trace.py [SITE-DIR]        default: build-web/site

Environment: KEYS (15 per round), ROUNDS (3), GAP (seconds between keys, 3.2: the progress bar has
stopped by the next key; 0.5 keeps it running under every key, as in make bench), KEEP=DIR keeps
the last round's traces as DIR/page.json and DIR/floor.json, which chrome://tracing or Perfetto open.
"""
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request

import websocket

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
KEYS = "a s d f g h j k l semicolon colon bracketright".split()
CATEGORIES = ["devtools.timeline", "blink", "viz", "cc", "input", "benchmark", "toplevel", "disabled-by-default-viz.quads"]
PORT = 9339


def serve(folder):
    server = subprocess.Popen(["/usr/bin/python3", os.path.join(SOURCE, "scripts", "serve-web.py"), folder, "18390"],
                              stdout=subprocess.PIPE, text=True)
    url = re.search(r"http://127\.0\.0\.1:\d+/", server.stdout.readline()).group(0)
    return server, url


def traced(url, setup, keys, gap):
    """The trace's events while the keys are typed, after the setup keys."""
    home = tempfile.mkdtemp(prefix="tapirun-trace.")
    display = ":%d" % (70 + os.getpid() % 20)
    env = dict(os.environ, DISPLAY=display, HOME=home)
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1920x1080x24", "-br", "-nolisten", "tcp"],
                            stderr=subprocess.DEVNULL)
    browser = None
    try:
        time.sleep(1)
        subprocess.run(["setxkbmap", "-model", "jp106", "-layout", "jp"], env=env, check=True)
        browser = subprocess.Popen([os.path.join(HERE, "kiosk.sh"), url, "--remote-debugging-port=%d" % PORT,
                                    "--remote-allow-origins=*"], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        for _ in range(100):
            try:
                endpoint = json.load(urllib.request.urlopen("http://127.0.0.1:%d/json/version" % PORT))
                break
            except OSError:
                time.sleep(0.2)
        time.sleep(3)
        window = subprocess.run(["xdotool", "search", "--onlyvisible", "--class", "chromium"], env=env,
                                capture_output=True, text=True).stdout.split()
        subprocess.run(["xdotool", "windowfocus", "--sync", window[-1]], env=env, check=True)
        for key in setup:
            subprocess.run(["xdotool", "key", key], env=env, check=True)
            time.sleep(0.3)
        time.sleep(1.5)
        ws = websocket.create_connection(endpoint["webSocketDebuggerUrl"], timeout=120)
        ws.send(json.dumps({"id": 1, "method": "Tracing.start", "params": {
            "traceConfig": {"includedCategories": CATEGORIES}, "transferMode": "ReportEvents"}}))
        while json.loads(ws.recv()).get("id") != 1:
            pass
        time.sleep(1)
        for i in range(keys):
            subprocess.run(["xdotool", "key", KEYS[i % len(KEYS)]], env=env, check=True)
            time.sleep(gap)
        ws.send(json.dumps({"id": 2, "method": "Tracing.end"}))
        events = []
        while True:
            message = json.loads(ws.recv())
            if message.get("method") == "Tracing.dataCollected":
                events += message["params"]["value"]
            elif message.get("method") == "Tracing.tracingComplete":
                return events
    finally:
        if browser:
            browser.terminate()
            browser.wait(10)
        xvfb.terminate()
        shutil.rmtree(home, ignore_errors=True)


def stages(events):
    """Per key: milliseconds from the browser's receipt to the end of each stage, and the damage."""
    threads, processes = {}, {}
    for e in events:
        if e.get("ph") == "M" and e["name"] == "thread_name":
            threads[(e["pid"], e["tid"])] = e["args"]["name"]
        if e.get("ph") == "M" and e["name"] == "process_name":
            processes[e["pid"]] = e["args"]["name"]

    def where(e):
        return processes.get(e["pid"]), threads.get((e["pid"], e["tid"]))

    spans = sorted((e for e in events if e.get("ph") == "X"), key=lambda e: e["ts"])
    snapshots = sorted((e for e in events if e["name"] == "LayerTreeHostImpl:snapshot"), key=lambda e: e["ts"])
    main, compositor = ("Renderer", "CrRendererMain"), ("Renderer", "Compositor")

    def first(after, thread, name):
        return next((e for e in spans if e["ts"] >= after and e["name"] == name and
                     (where(e) == thread or where(e)[1] == thread)), None)

    received = [e["ts"] for e in spans if where(e) == ("Browser", "CrBrowserMain") and
                e["name"] == "RenderWidgetHostViewBase::OnKeyEvent"]
    out = []
    for key in spans:
        if where(key) != main or key["name"] != "EventDispatch" or \
                key["args"].get("data", {}).get("type") != "keydown":
            continue
        start = max([t for t in received if t <= key["ts"]] or [key["ts"]])
        frame = first(key["ts"] + key["dur"], main, "ProxyMain::BeginMainFrame")
        lifecycle = frame and first(frame["ts"], main, "WebFrameWidgetImpl::UpdateLifecycle")
        activated = lifecycle and first(lifecycle["ts"], compositor, "LayerTreeHostImpl::ActivateSyncTree")
        drawn = activated and first(activated["ts"], "VizCompositorThread", "Display::DrawAndSwap")
        if not drawn:
            continue
        snapshot = next((s for s in snapshots if s["ts"] >= key["ts"]), None)
        damage = re.search(r'"damage_rect": \[([^\]]*)\]', json.dumps(snapshot["args"])) if snapshot else None
        ms = lambda t: (t - start) / 1000.0
        out.append({"keydown handled": ms(key["ts"] + key["dur"]), "frame begun": ms(frame["ts"]),
                    "style, layout, paint": ms(lifecycle["ts"] + lifecycle["dur"]), "rastered": ms(activated["ts"]),
                    "drawn": ms(drawn["ts"] + drawn["dur"]),
                    "damage": [int(v) for v in damage.group(1).split(",")] if damage else None})
    return out


def main():
    site = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(SOURCE, "build-web", "site"))
    keys, gap = int(os.environ.get("KEYS", "15")), float(os.environ.get("GAP", "3.2"))
    rounds = int(os.environ.get("ROUNDS", "3"))
    pages = (("page", site, ""), ("floor", HERE, "floor.html"))
    results = {"page": [], "floor": []}
    for r in range(rounds):
        for name, folder, page in (pages if r % 2 == 0 else pages[::-1]):
            server, url = serve(folder)
            try:
                # The floor ignores F1 and shows Space as a blank, so both are typed at alike.
                events = traced(url + page, ["F1", "space"], keys, gap)
            finally:
                server.terminate()
                server.wait(10)
            if os.environ.get("KEEP"):
                with open(os.path.join(os.environ["KEEP"], name + ".json"), "w") as f:
                    json.dump({"traceEvents": events}, f)
            results[name].append(stages(events))
    print("median ms from the browser's receipt of a key (%d rounds of %d keys, %.1f s apart;"
          " in brackets the rounds' lowest and highest median)" % (rounds, keys, gap))
    print("%-22s %22s %22s" % ("", "page", "floor"))

    def summary(name, stage):
        per_round = [statistics.median(k[stage] for k in keyed) for keyed in results[name] if keyed]
        every = [k[stage] for keyed in results[name] for k in keyed]
        if not every:
            return "n/a"
        return "%6.2f (%5.2f-%5.2f)" % (statistics.median(every), min(per_round), max(per_round))

    for stage in ("keydown handled", "frame begun", "style, layout, paint", "rastered", "drawn"):
        print("%-22s %22s %22s" % (stage, summary("page", stage), summary("floor", stage)))
    for name in ("page", "floor"):
        areas = sorted((k["damage"][2] * k["damage"][3], k["damage"]) for keyed in results[name] for k in keyed
                       if k["damage"])
        if areas:
            print("%s: %d keys traced, redrawn area median %d px, largest %s" %
                  (name, sum(len(keyed) for keyed in results[name]), areas[len(areas) // 2][0], areas[-1][1]))


if __name__ == "__main__":
    main()
