#!/usr/bin/env bash
# End-to-end test of the built program on a real X server: its own Xvfb at 1024x768 with a JIS
# keymap and no window manager, driven with xdotool and checked by sampling screen pixels.
#
#   run.sh PATH/TO/tapirun
#
# The screen is read back rather than the program queried, so this catches what the form tests
# on the offscreen platform cannot: the window really covering the screen and taking the keys
# without a window manager, even where a crashed one left its property behind, real key events
# through the keymap (the yen key among them), and a clean exit.
set -uo pipefail

app=${1:?usage: run.sh PATH/TO/tapirun}
name=e2e
source "$(dirname "$0")/../lib/lib.sh"
[[ -x $app ]] || fail "$app is not an executable"
need Xvfb xdpyinfo xdotool setxkbmap xwininfo xprop import convert /usr/bin/python3

readonly screenW=1024 screenH=768
# Places that follow from the window's table and the centring rule on a 1024x768 screen.
drillPlaces $screenW $screenH
appPid=""

die() {
    if [[ -n $appPid ]] && ! kill -0 "$appPid" 2>/dev/null; then
        wait "$appPid"
        echo "e2e: the program ended with status $?" >&2
        appPid=""
    fi
    [[ -s $work/app.log ]] && { echo "--- program output ---" >&2; tail -20 "$work/app.log" >&2; }
    fail "$@"
}
appAlive() { [[ -n $appPid ]] && kill -0 "$appPid" 2>/dev/null; }

# --- X server -------------------------------------------------------------------------------
startXvfb
# The JIS keymap whose yen key types the yen sign: xdotool presses that key itself rather than a spare
# key code bound to the sign for a moment, which a program reading the keymap late finds empty.
setxkbmap -model jp106 -layout jp -variant OADG109A || die "setxkbmap for the JIS keymap failed"
echo "e2e: Xvfb on $DISPLAY (pid $xvfbPid)"
# A window manager that crashed leaves its properties on the root window: the check naming its own
# window, gone, and the list of what it supported, activation among them. The keyboard focus, on
# that window, went nowhere with it. Taken for one that runs, the window manager would be left to
# activate the program's window, and the keys below would reach nothing. (xprop cannot write a
# property of the type WINDOW.)
/usr/bin/python3 - <<'PY' || die "could not leave a crashed window manager's state behind"
import ctypes
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
for f in (x.XDefaultRootWindow, x.XCreateSimpleWindow, x.XInternAtom): f.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = x.XCloseDisplay.argtypes = [ctypes.c_void_p]
x.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + [ctypes.c_uint] * 3 + [ctypes.c_ulong] * 2
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XChangeProperty.argtypes = [ctypes.c_void_p] + [ctypes.c_ulong] * 3 + [ctypes.c_int] * 2 + [ctypes.c_void_p, ctypes.c_int]
x.XMapWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
d = x.XOpenDisplay(None)
root = x.XDefaultRootWindow(d)
def put(name, kind, value):
    x.XChangeProperty(d, root, x.XInternAtom(d, name, 0), kind, 32, 0, ctypes.byref(ctypes.c_ulong(value)), 1)
XA_ATOM, XA_WINDOW, RevertToNone, CurrentTime = 4, 33, 0, 0
own = x.XCreateSimpleWindow(d, root, 0, 0, 1, 1, 0, 0, 0)  # destroyed as the connection closes
x.XMapWindow(d, own)
x.XSetInputFocus(d, own, RevertToNone, CurrentTime)
put(b"_NET_SUPPORTED", XA_ATOM, x.XInternAtom(d, b"_NET_ACTIVE_WINDOW", 0))
put(b"_NET_SUPPORTING_WM_CHECK", XA_WINDOW, own)
x.XCloseDisplay(d)
PY
check "a crashed window manager's properties are left on the root window" \
    eval 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "(WINDOW): window id"'

# --- start-up -------------------------------------------------------------------------------
mkdir -m 700 "$work/runtime"
env -u DBUS_SESSION_BUS_ADDRESS -u QT_IM_MODULE QT_QPA_PLATFORM=xcb HOME="$work" XDG_RUNTIME_DIR="$work/runtime" \
    "$app" >"$work/app.log" 2>&1 &
appPid=$!
started+=("$appPid")

# Qt leaves WM_NAME empty (only _NET_WM_NAME is set), so the window is found by its class.
win=""
for _ in {1..100}; do
    win=$(xdotool search --onlyvisible --class '^tapirun$' 2>/dev/null | head -1)
    [[ -n $win ]] && break
    appAlive || die "the program exited during start-up"
    sleep 0.1
done
[[ -n $win ]] || die "no visible Tapirun window after 10 s"
echo "e2e: window $win"

geometry=$(xwininfo -id "$win" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
                                      /^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF} END {print w "x" h "+" x "+" y}')
check "window covers the whole screen (${geometry}, no window manager)" [ "$geometry" = "${screenW}x${screenH}+0+0" ]

# Mapping comes before the first paint; wait until the OK button's frame is drawn.
shootUntil idle 10 pixelsAre idle 00FF00 50,30

checkIdleScreen idle

# --- a practice drill (the home row, selected at start) -------------------------------------
checkDrillRuns yen backslash
appAlive || die "the program crashed during the drill"

checkDrillEnds
# The weak- and strong-key frames start red and aqua and, after more than two correct keys, flash
# random colours once a second; either way the strong one is the weak one's complement.
complementary() { [[ $1 != 000000 ]] && (((16#$1 ^ 16#$2) == 16#FFFFFF)); }
weakFrame=$(pixel results 337 350) strongFrame=$(pixel results 537 350)
check "weak- and strong-key frames at 337,350 and 537,350 in complementary colours ($weakFrame, $strongFrame)" \
    complementary "$weakFrame" "$strongFrame"
# With more than two correct answers the weak and strong keys show (white, 80 px, at 16,35 in the
# inner panel, left of its cat-paw picture) and the frames change colour every second.
weakKey=$(whiteIn results "75x80+$((337 + 17))+$((350 + 36))") strongKey=$(whiteIn results "75x80+$((537 + 17))+$((350 + 36))")
bothAbove() { (($2 > $1 && $3 > $1)); }
check "with $correct correct keys the weak and strong keys are shown" bothAbove 20 "$weakKey" "$strongKey"
weakFrameNot() { [[ $(pixel flashed 337 350) != "$1" ]]; }
shootUntil flashed 3 weakFrameNot "$weakFrame"
weakFlash=$(pixel flashed 337 350) strongFlash=$(pixel flashed 537 350)
flashedFrom() { [[ $2 != "$1" ]] && complementary "$2" "$3"; }
check "the frames change colour a second later ($weakFlash, $strongFlash)" \
    flashedFrom "$weakFrame" "$weakFlash" "$strongFlash"
read -r _ _ _ olive <<<"$(drillState results)"
check "no wrong character is left on the results" [ "$olive" = 0 ]

# --- a test held up ---------------------------------------------------------------------------
# The test's item (the sixth, centred at 128,250), F1 and Space start the minute. The program is then
# stopped for 50 s, as a suspended machine would stop it: its clock must count the seconds it missed,
# so the results come on the minute, some 8 s after it goes on, and not 50 s late. The results panel
# is the only thing drawn at its corner, 412,309, first lime, then flashing.
testResults() { shoot test && [[ $(pixel test 412 309) != 000000 ]]; }
xdotool mousemove 128 250 click 1
sendKey F1 space
testStarted=$SECONDS
check "the test has started and shows no results yet" waitUntil 3 eval '! testResults && targetShown test'
sleep 2
kill -STOP "$appPid"
sleep 50
kill -CONT "$appPid"
check "the test goes on after the stop, its minute not yet up" eval '! waitUntil 3 testResults'
check "the held-up test still ends on its minute" waitUntil 8 testResults
check "the test's results came $((SECONDS - testStarted)) s after its start, about a minute" \
    eval '((SECONDS - testStarted <= 64))'
appAlive || die "the program crashed during the test"

# --- exit -----------------------------------------------------------------------------------
xdotool mousemove 250 48 click 1
checkExitedWithZero
finish
