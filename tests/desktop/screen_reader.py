"""What a screen reader gets from the program, run inside a private session bus by screen-reader.sh.

    screen_reader.py tree PROGRAM        the accessible tree read back over AT-SPI
    screen_reader.py speech PROGRAM LOG  Orca's speech, from its debug log LOG
    screen_reader.py silenced PROGRAM LOG
                                         the same drill with a program that announces nothing: Orca
                                         must speak none of it, or the speech check proves nothing
    screen_reader.py activation PROGRAM LOG
                                         under a window manager: Orca presents the main window and
                                         its focused control at start-up, and keys reach it
    screen_reader.py activation-wayland PROGRAM LOG
                                         the same on a Wayland compositor, keys typed with wtype

Keys are typed with xdotool on the X display of the environment; the program's answers are read
from its accessible tree or from what Orca said.
"""

import os
import re
import subprocess
import sys
import time

import pyatspi

failures = 0


def check(description, passed):
    global failures
    print(("ok   " if passed else "FAIL ") + description, flush=True)
    if not passed:
        failures += 1


def wait_until(seconds, condition):
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(0.05)


def key(*names):
    subprocess.run(["xdotool", "key", *names], check=True)


# Keysym names of the home row's characters, as the JIS keymap places them.
KEYSYMS = {";": "semicolon", ":": "colon", "]": "bracketright"}


def typed(character):
    key(KEYSYMS.get(character, character))


# --- the accessible tree ----------------------------------------------------------------------------

def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Tapirun" and app.childCount > 0:
            return app
    return None


def nodes(root):
    """Every node under root with its showing state, depth first."""
    out = []
    stack = [root]
    while stack:
        node = stack.pop()
        if node is None:
            continue
        out.append(node)
        stack.extend(reversed([node[i] for i in range(node.childCount)]))
    return out


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def enabled(node):
    return node.getState().contains(pyatspi.STATE_SENSITIVE)


def find(root, role, name=None, shown=None):
    return [n for n in nodes(root)
            if n.getRoleName() == role and (name is None or n.name == name)
            and (shown is None or showing(n) == shown)]


def one(root, role, name):
    found = find(root, role, name)
    return found[0] if found else None


def press(node, action="Press"):
    names = actions(node)
    return action in names and node.queryAction().doAction(names.index(action)) is not False


def actions(node):
    try:
        act = node.queryAction()
    except NotImplementedError:
        return []
    return [act.getName(i) for i in range(act.nActions)]


def hidden_consistent(frame):
    """Nothing inside a hidden node reports itself shown."""
    bad = []

    def walk(node, parent_shown):
        me = showing(node)
        if me and not parent_shown:
            bad.append(f"{node.getRoleName()} {node.name!r}")
        for i in range(node.childCount):
            if node[i] is not None:
                walk(node[i], me)

    walk(frame, showing(frame))
    return bad


def shown_names(frame, role):
    return [n.name for n in find(frame, role, shown=True)]


def target_label(frame, typed=""):
    """The one-character label shown in the target box: the only one but the wrong character typed."""
    found = [n for n in find(frame, "label", shown=True) if len(n.name) == 1 and n.name != typed]
    return found[0].name if len(found) == 1 else None


def start(program):
    proc = subprocess.Popen([program], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    app = wait_until(15, application)
    if app is None:
        proc.terminate()
        print("FAIL the program did not appear on the accessibility bus", flush=True)
        sys.exit(1)
    return proc, app[0]


def tree(program):
    proc, frame = start(program)
    check("the main window is a frame named Tapirun", frame.getRoleName() == "frame" and frame.name == "Tapirun")
    wait_until(5, lambda: showing(frame))

    # The start screen.
    buttons = {n.name: n for n in find(frame, "push button", shown=True)}
    for name, description in (("O K", "開始します。"), ("終 了", "終了します。"),
                              ("バージョン情報", "バージョン情報を表示します。")):
        b = buttons.get(name)
        check(f"start screen: push button {name!r} with its description and a Press action",
              b is not None and b.description == description and "Press" in actions(b))
    check("both info panels are push buttons named バージョン情報",
          len(find(frame, "push button", "バージョン情報", shown=True)) == 2)
    radios = find(frame, "radio button", shown=True)
    check("start screen: the seven modes as radio buttons, 中段の練習 selected",
          len(radios) == 7 and [r.name for r in radios if r.getState().contains(pyatspi.STATE_CHECKED)] == ["中段の練習"])
    check("start screen: the instruction is a label with its text",
          "モードを選択してから ＯＫをクリックしてね！" in shown_names(frame, "label"))
    bars = find(frame, "progress bar", shown=True)
    value = bars[0].queryValue() if bars else None
    check("the progress bar shows named 経過時間 with its value and its range 0..100",
          value is not None and bars[0].name == "経過時間" and
          value.minimumValue == 0 and value.maximumValue == 100 and value.currentValue == 0)
    check("no panel, filler or unnamed picture stands between the window and what it holds",
          not [n for n in nodes(frame) if n.getRoleName() in ("panel", "filler", "image") and not n.name])
    hidden = ["苦手・キー", "得意・キー", "Tapirun検定", "キーの位置と使う指を覚えてねッ！", "a 左小指"]
    check("start screen: no result, test or keyboard label reports itself shown",
          not any(name in shown_names(frame, "label") for name in hidden))
    check("start screen: the Shift and back buttons of the hidden keyboard are not shown",
          not find(frame, "push button", "Shift", shown=True) and not find(frame, "push button", "戻 る", shown=True))
    check("start screen: nothing inside a hidden control reports itself shown", hidden_consistent(frame) == [])

    # OK pressed through its action prepares a drill.
    ok = buttons.get("O K")
    check("OK's Press action is taken", ok is not None and press(ok))
    prepared = wait_until(3, lambda: "開始するときは スペース・キー" in shown_names(frame, "label"))
    check("OK pressed through AT-SPI prepares a drill: the start message shows", prepared)
    check("the prepared drill disables OK and hides the mode list",
          ok is not None and not enabled(ok) and not find(frame, "radio button", shown=True))

    # A drill: a target, a miss.
    key("space")
    target = wait_until(3, lambda: target_label(frame))
    check(f"in a drill the target is a shown label ({target!r})", target is not None and target in "asdfghjkl;:]")
    typed("q")
    miss = wait_until(3, lambda: "q" in shown_names(frame, "label"))
    check("a wrong key shows the wrong character as a label", bool(miss))
    check("in a drill: nothing inside a hidden control reports itself shown", hidden_consistent(frame) == [])
    check("OK's Press action does nothing while OK is disabled",
          press(ok) and target_label(frame, "q") == target and "終了する時は スペース・キー" in shown_names(frame, "label"))

    # The results.
    key("space")
    results = wait_until(3, lambda: "苦手・キー" in shown_names(frame, "label"))
    labels = shown_names(frame, "label")
    check("the results show the counts as labels",
          bool(results) and {"出題数　1", "正解数　0", "間違数　1"} <= set(labels))
    check("the results show the accuracy as a label", any(n.startswith("正解率") and n.endswith("％") for n in labels))
    check("after the drill the target and the wrong character are no longer shown",
          target_label(frame) is None and "q" not in labels)
    check("results: nothing inside a hidden control reports itself shown", hidden_consistent(frame) == [])

    # The keyboard picture.
    mode = one(frame, "radio button", "キー位置確認")
    check("the keyboard mode is chosen through its Toggle action", mode is not None and press(mode, "Toggle"))
    wait_until(3, lambda: mode.getState().contains(pyatspi.STATE_CHECKED))
    press(ok)
    keyboard = wait_until(3, lambda: "a 左小指" in shown_names(frame, "label"))
    labels = shown_names(frame, "label")
    check("the keyboard picture names each key by its legend and finger hint",
          bool(keyboard) and {"f 左人差し指【ホームポジション】", "j 右人差し指【ホームポジション】", "¥ エン",
                              "＼ バックスラッシュ（エン）", "; セミコロン"} <= set(labels))
    check("all 48 keys are shown labels",
          len([n for n in labels if re.match(r"^\S+ \S", n) and not n.startswith("下段")]) >= 48)
    key_a = find(frame, "label", "a 左小指", shown=True)
    check("a key is one label, its finger said once: no description repeats it, and it has no children",
          len(key_a) == 1 and key_a[0].description == "" and key_a[0].childCount == 0)
    shift = one(frame, "push button", "Shift")
    state = shift.getState() if shift else None
    check("Shift is a push button with a Toggle action, not checked",
          state is not None and "Toggle" in actions(shift) and not state.contains(pyatspi.STATE_CHECKED))
    check("Shift pressed through AT-SPI shifts the legends and reports itself checked",
          shift is not None and press(shift) and
          bool(wait_until(3, lambda: "A 左小指" in shown_names(frame, "label"))) and
          shift.getState().contains(pyatspi.STATE_CHECKED) and shift.getState().contains(pyatspi.STATE_PRESSED))
    check("the note hidden by Shift is not shown",
          not any(n.startswith("下段の") for n in shown_names(frame, "label")))
    check("keyboard: nothing inside a hidden control reports itself shown", hidden_consistent(frame) == [])
    press(shift)
    back = one(frame, "push button", "戻 る")
    check("the back button is taken through its Press action", back is not None and press(back))
    check("back: the mode list shows again and the keys no longer",
          bool(wait_until(3, lambda: find(frame, "radio button", shown=True))) and
          "a 左小指" not in shown_names(frame, "label"))

    # The About box.
    info = find(frame, "push button", "バージョン情報", shown=True)
    check("the info button opens the About box through its Press action", bool(info) and press(info[0]))
    app = application()
    dialog = wait_until(5, lambda: [w for w in app if w is not None and w.getRoleName() == "dialog"])
    check("the About box is a dialog named バージョン情報", bool(dialog) and dialog[0].name == "バージョン情報")
    check("its OK button is a push button",
          bool(dialog) and one(dialog[0], "push button", "OK") is not None)

    proc.terminate()
    proc.wait(5)


# --- Orca's speech ------------------------------------------------------------------------------

def spoken_lines(log, start=0):
    """What Orca spoke from byte start of its log on, in order, less its echo of the typed keys.
    Each line must be the program's own words alone: a role word before them is a fault."""
    try:
        with open(log, "rb") as f:
            f.seek(start)
            text = f.read().decode("utf-8", errors="replace")
    except OSError:
        return []
    return [m.group(1) for m in re.finditer(r"^SPEECH OUTPUT: '(.*?)\.?'$", text, re.MULTILINE)]


def log_size(log):
    try:
        return os.path.getsize(log)
    except OSError:
        return 0


def spoke(log, pattern):
    try:
        with open(log, encoding="utf-8", errors="replace") as f:
            return re.search(pattern, f.read()) is not None
    except OSError:
        return False


def speech(program, log, silenced):
    # A silenced program never says what is waited for; a short wait keeps that run short.
    heard_within = 1 if silenced else 3
    proc, frame = start(program)
    # Orca speaks the window once it is told of it: then it listens to the program.
    check("Orca presents the program's window", bool(wait_until(10, lambda: spoke(log, r"SPEECH OUTPUT: 'Tapirun"))))
    # Each line below is matched whole, so "notification" or any other word said with it fails.
    # With no window manager Orca first presents the focused mode at the first key, F1; the drill's
    # lines follow, from the start message on.
    start_at = log_size(log)

    def heard_so_far():
        lines = spoken_lines(log, start_at)
        return lines[lines.index(expected[0]):] if expected[0] in lines else []

    key("F1")
    expected = ["開始するときは スペース・キー"]
    wait_until(3, lambda: "開始するときは スペース・キー" in shown_names(frame, "label"))
    wait_until(heard_within, lambda: heard_so_far() == expected)
    key("space")
    # Five targets are typed; the sixth is missed.
    targets = []
    for typing in (True,) * 5 + (False,):
        target = wait_until(3, lambda: target_label(frame))
        if target is None:
            break
        targets.append(target)
        expected.append({";": "; セミコロン", ":": ": コロン", "]": "] ブラケット右"}.get(target, target))
        wait_until(heard_within, lambda: heard_so_far() == expected)
        if typing:
            typed(target)
            wait_until(3, lambda: target_label(frame) != target)
    typed("q")
    miss = "間違い q、正しくは " + expected[-1]
    expected.append(miss)
    wait_until(heard_within, lambda: heard_so_far() == expected)
    key("space")
    wait_until(5, lambda: len(heard_so_far()) > len(expected))
    heard = heard_so_far()
    print("     Orca spoke: " + " / ".join(heard), flush=True)

    results = r"^出題数 6、正解数 5、間違数 1、正解率 83\.33％、苦手キー \S+( \S+)?、得意キー \S+( \S+)?。$"
    if not silenced:
        check(f"Orca speaks the start message and each of the {len(targets)} targets in order",
              heard[:len(expected) - 1] == expected[:-1])
        check("Orca speaks the miss with the wrong character and the target after them", heard[len(expected) - 1:len(expected)] == [miss])
        check("Orca speaks the results in one sentence last",
              len(heard) == len(expected) + 1 and re.match(results, heard[-1]) is not None)
    else:
        # Orca did listen (it echoed the keys), yet none of the drill reached it.
        check("Orca echoed the typed keys", spoke(log, r"SPEECH OUTPUT: 'q '"))
        spoken = spoken_lines(log, start_at)
        check("with the announcements silenced Orca speaks no target, miss or result",
              not set(spoken) & set(expected) and not any(line.startswith(("間違い", "出題数")) for line in spoken))
    proc.terminate()
    proc.wait(5)


# --- start-up under a window manager ---------------------------------------------------------------

def activation(program, log, wayland):
    """The window manager activates the main window, so Orca presents it and the focused mode."""
    proc, frame = start(program)
    check("Orca presents the window at start-up",
          bool(wait_until(10, lambda: spoke(log, r"SPEECH OUTPUT: 'Tapirun frame"))))
    check("and the mode list's focused item, 中段の練習",
          bool(wait_until(5, lambda: spoke(log, r"SPEECH OUTPUT: '中段の練習"))))
    if wayland:
        subprocess.run(["wtype", "-k", "F1"], check=True)
    else:
        key("F1")
    check("the window manager gave it the keyboard: F1 prepares a drill",
          bool(wait_until(3, lambda: "開始するときは スペース・キー" in shown_names(frame, "label"))))
    proc.terminate()
    proc.wait(5)


def main():
    mode, program = sys.argv[1], sys.argv[2]
    if mode == "tree":
        tree(program)
    elif mode.startswith("activation"):
        activation(program, sys.argv[3], mode == "activation-wayland")
    else:
        speech(program, sys.argv[3], mode == "silenced")
    print(f"screen-reader {mode}: " + (f"{failures} check(s) failed" if failures else "all checks passed"), flush=True)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
