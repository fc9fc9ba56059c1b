#!/usr/bin/env bash
# The program under GNOME's or KDE's window manager on X: mutter or kwin_x11 on an Xvfb of the
# test's own, the way GNOME and Plasma on Xorg run them, driven with xdotool and checked through the
# window manager's properties and the screen. The window manager runs as nobody with a private
# HOME, as it would in a user's session.
#
#   x11-wm.sh mutter|kwin PATH/TO/tapirun [SCALE]
#
# Both add their caption bar above a window only once the window is mapped, and announce it then
# with _NET_FRAME_EXTENTS, in the screen's pixels: a box centred by its client size alone sits half
# that too high, and KWin may place the box itself before the program centres it. With SCALE 2 the
# X server's resources say Xft.dpi 192, as GNOME on Xorg at 200 % says it, and the program draws at
# that scale of the desktop's own, where the frame's pixels are not the program's: only start-up,
# the About box's place and the exit are checked then.
set -uo pipefail

usage="usage: x11-wm.sh mutter|kwin PATH/TO/tapirun [SCALE]"
wm=${1:?$usage}
app=${2:?$usage}
scale=${3:-1}
[[ ($wm == mutter || $wm == kwin) && ($scale == 1 || $scale == 2) ]] || { echo "$usage" >&2; exit 2; }
name=$wm-x11-$((scale * 100))
source "$(dirname "$0")/../lib/lib.sh"
needRoot
need dbus-daemon setpriv xdotool xprop xwininfo import convert

readonly screenW=1024 screenH=768

userHome
cp "$app" "$home/tapirun" || fail "cannot copy the program"
handUserHome
bus=unix:path=$runtime/bus
userEnv=(NO_AT_BRIDGE=1)

# --- the desktop ------------------------------------------------------------------------------
startXvfb
(asUser dbus-daemon --session --nofork --nopidfile --address="$bus") >"$work/dbus.log" 2>&1 &
started+=($!)
waitUntil 5 test -S "$runtime/bus" || fail "the session bus did not start"
if [[ $wm == mutter ]]; then
    need mutter
    (asUser mutter --x11 --replace --sm-disable) >"$work/wm.log" 2>&1 &
else
    need kwin_x11
    (asUser kwin_x11 --replace) >"$work/wm.log" 2>&1 &
fi
started+=($!)
wmName() { xprop -id "$(xprop -root _NET_SUPPORTING_WM_CHECK | grep -o '0x[0-9a-f]*')" _NET_WM_NAME 2>/dev/null; }
# The control: the window manager named itself on the root window.
waitUntil 10 eval 'wmName | grep -qi "\"$wm\""' || { tail -5 "$work/wm.log" >&2; fail "$wm did not start"; }
ok "$wm manages $DISPLAY"

# --- start-up: full screen and active ----------------------------------------------------------
((scale == 2)) && xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER $'Xft.dpi:\t192\n'
(asUser QT_QPA_PLATFORM=xcb "$home/tapirun") >"$work/app.log" 2>&1 &
appPid=$!
started+=("$appPid")
checkFullScreenStart "$appPid" "${screenW}x${screenH}"
idle() { shoot idle && [[ $(pixel "$work/idle.ppm" $((50 * scale)) $((30 * scale))) == 00FF00 ]]; }
check "the idle screen is drawn (the OK button's lime frame)" waitUntil 5 idle

# --- a practice drill, from F1 to the results ----------------------------------------------------
((scale == 1)) && checkDrillToResults "$screenW" "$screenH" a s d f g h j k l semicolon colon bracketright

# --- the About box and the exit -------------------------------------------------------------------
source "$(dirname "$0")/about-box.sh"
useXDriver
placedBy=program onTop=covered reopens=dragged closer="closebox 19" drags=yes
[[ $wm == mutter ]] && minimise=refused || minimise=allowed
# At 200 % the program centres in its own pixels, half the screen's, and a frame of an odd number
# of the screen's pixels is rounded to its own: a pixel or two either way.
((scale == 2)) && only=opening centreSlack=8
# Every move of a top-level window (the box's frame among them) from the first opening on, as the
# X server reports it.
stdbuf -oL xev -root -event substructure >"$work/xev.log" 2>&1 &
xevPid=$!
started+=("$xevPid")
sleep 0.2
boxOpened() {
    local frame=$box root parent framePlaces actions
    # The window manager's frame: the box's ancestor that is a child of the root window.
    for _ in 1 2 3 4; do
        read -r root parent <<<"$(xwininfo -id "$frame" -tree | awk '/Root window id:/ {r = $4} /Parent window id:/ {p = $4} END {print r, p}')"
        [[ $parent == "$root" || -z $parent ]] && break
        frame=$parent
    done
    # The watcher is stopped once it has seen the frame mapped, and a moment later, so that a slow
    # machine's late moves are still heard.
    frameMapped() {
        awk -v f="$frame" '/Notify event/ {t = $1} t == "MapNotify" && index($0, "window " f ",") {found = 1}
            END {exit !found}' "$work/xev.log"
    }
    waitUntil 3 frameMapped
    sleep 0.3
    kill "$xevPid"
    wait "$xevPid" 2>/dev/null
    # Asked for its frame before it is mapped, the box is centred before it is mapped: once mutter
    # has mapped the frame it may settle the frame's size, but never moves it again. kwin_x11 does
    # not answer the request (not within 2 s in this test), and there the box is centred again once
    # the frame is announced, as before.
    framePlaces=$(awk -v f="$frame" '/Notify event/ {t=$1} index($0, "window " f ",") {
            if (t == "MapNotify") mapped = 1
            else if (t == "ConfigureNotify" && mapped && match($0, /\([0-9-]+,[0-9-]+\)/)) print substr($0, RSTART, RLENGTH)
        }' "$work/xev.log" | sort -u | tr '\n' ' ')
    if [[ $wm == mutter ]]; then
        check "the box is placed before it is shown, not moved once shown (frame at $framePlaces)" \
            eval 'frameMapped && (($(wc -w <<<"$framePlaces") <= 1))'
    else
        echo "     the frame's places once shown: $framePlaces"
    fi
    check "the About box is in front of the main window" isAbove "$box" "$main"
    actions=$(xprop -id "$box" _NET_WM_ALLOWED_ACTIONS)
    check "$wm offers to close and move the box" eval '[[ $actions == *_NET_WM_ACTION_CLOSE* && $actions == *_NET_WM_ACTION_MOVE* ]]'
    check "$wm offers no maximise or resize" eval '[[ $actions != *MAXIMIZE* && $actions != *RESIZE* ]]'
    # KWin offers to minimise every window, whatever the program asks.
    [[ $wm == mutter ]] && check "mutter offers no minimise" eval '[[ $actions != *MINIMIZE* ]]'
}
aboutBoxAndExit
finish
