#!/usr/bin/env bash
# The program under GNOME's or KDE's window manager on X: mutter or kwin_x11 on an Xvfb of the
# test's own, the way GNOME and Plasma on Xorg run them, driven with xdotool and checked through the
# window manager's properties and the screen. The window manager runs as nobody with a private
# HOME, as it would in a user's session.
#
#   x11-wm.sh mutter|kwin PATH/TO/tapirun
#
# Both add their caption bar above a window only once the window is mapped, and announce it then
# with _NET_FRAME_EXTENTS: a box centred by its client size alone sits half that too high, and KWin
# may place the box itself before the program centres it.
set -uo pipefail

usage="usage: x11-wm.sh mutter|kwin PATH/TO/tapirun"
wm=${1:?$usage}
app=${2:?$usage}
[[ $wm == mutter || $wm == kwin ]] || { echo "$usage" >&2; exit 2; }
name=$wm-x11
source "$(dirname "$0")/../lib/lib.sh"
needRoot
need dbus-daemon setpriv xdotool xprop xwininfo import convert

readonly user=nobody group=nogroup screenW=1024 screenH=768
# Where the window's table puts things: the exit and info buttons.
readonly exitX=250 exitY=48 infoX=450 infoY=48

chmod 711 "$work"
home=$work/home runtime=$work/runtime
mkdir -m 700 "$home" "$runtime"
cp "$app" "$home/tapirun" || fail "cannot copy the program"
chown -R "$user:$group" "$home" "$runtime"
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
(asUser QT_QPA_PLATFORM=xcb "$home/tapirun") >"$work/app.log" 2>&1 &
appPid=$!
started+=("$appPid")
main=$(waitForWindow "$appPid")
fullScreen() { xprop -id "$main" _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN; }
check "the main window is full screen (_NET_WM_STATE_FULLSCREEN)" waitUntil 5 fullScreen
read -r x y w h <<<"$(geometryOf "$main")"
check "the main window covers the screen (${w}x${h}+$x+$y)" [ "${w}x${h}+$x+$y" = "${screenW}x${screenH}+0+0" ]
check "the main window is active at start" waitUntil 5 eval '[[ $(activeWindow) == "$main" ]]'
check "the idle screen is drawn (the OK button's lime frame)" waitUntil 5 idle

# --- a practice drill, from F1 to the results ----------------------------------------------------
sendKey() { xdotool key "$@"; }
checkDrillToResults "$screenW" "$screenH" a s d f g h j k l semicolon colon bracketright

# --- the About box ------------------------------------------------------------------------------
xdotool mousemove "$infoX" "$infoY" click 1
box=""
findBox() {
    box=$(xdotool search --onlyvisible --class '^tapirun$' 2>/dev/null | grep -vx "$main" | head -1)
    [[ -n $box && -n $(extentsOf "$box") ]]
}
waitUntil 5 findBox || fail "the info button opened no framed About box"
read -r fl fr ft fb <<<"$(extentsOf "$box")"
# The control: the window manager frames the box with a caption bar, or centring by the outer size is not tested.
check "$wm frames the box with a caption bar ($fl $fr $ft $fb)" eval '((ft > 10))'
outerCentred() {
    read -r x y w h <<<"$(geometryOf "$box")"
    outerW=$((w + fl + fr)) outerH=$((h + ft + fb)) outerX=$((x - fl)) outerY=$((y - ft))
    ((outerX == (screenW - outerW) / 2 && outerY == (screenH - outerH) / 2))
}
check "the About box is centred by its outer size" waitUntil 3 outerCentred
echo "     outer ${outerW}x${outerH}+$outerX+$outerY"
check "the About box is active and in front" waitUntil 3 eval '[[ $(activeWindow) == "$box" ]] && isAbove "$box" "$main"'
boxDrawn() { shoot box && [[ $(pixel "$work/box.ppm" $((x + w / 2)) $((y + 5))) != 000000 ]]; }
check "the About box is drawn on the screen" waitUntil 3 boxDrawn
actions=$(xprop -id "$box" _NET_WM_ALLOWED_ACTIONS)
check "$wm offers to close and move the box" eval '[[ $actions == *_NET_WM_ACTION_CLOSE* && $actions == *_NET_WM_ACTION_MOVE* ]]'
check "$wm offers no maximise or resize" eval '[[ $actions != *MAXIMIZE* && $actions != *RESIZE* ]]'
# KWin offers to minimise every window, whatever the program asks; hence the info buttons bring a
# minimised box back.
if [[ $wm == mutter ]]; then
    check "mutter offers no minimise" eval '[[ $actions != *MINIMIZE* ]]'
else
    echo "     KWin offers minimise: $([[ $actions == *MINIMIZE* ]] && echo yes || echo no)"
fi
# A second later it is still where it was centred: nothing moves it once it is placed.
check "the box stays where it was centred" holds 1 outerCentred

dragToLowerLeft
check "the box follows a drag of its caption bar to $dragX,$dragY" waitUntil 3 draggedTo "$dragX" "$dragY"
# The close box: the only button on the caption bar, at its right end.
xdotool mousemove $((dragX + w - 19)) $((dragY - ft / 2)) click 1
check "the close box hides the About box" waitUntil 3 eval '! mapped "$box"'
xdotool mousemove "$infoX" "$infoY" click 1
waitUntil 5 findBox || fail "the info button did not open the About box again"
check "the box opens again where it was dragged" waitUntil 3 draggedTo "$dragX" "$dragY"
check "and stays there" holds 1 draggedTo "$dragX" "$dragY"

# A click on the main window brings it to the front; the box stays open behind it.
xdotool mousemove 1000 300 click 1
check "a click on the main window puts the box behind it" \
    waitUntil 3 eval '[[ $(activeWindow) == "$main" ]] && isAbove "$main" "$box" && mapped "$box"'
xdotool mousemove "$infoX" "$infoY" click 1
check "an info button brings the covered box back in front, where it was" \
    waitUntil 3 eval '[[ $(activeWindow) == "$box" ]] && isAbove "$box" "$main" && draggedTo "$dragX" "$dragY"'
# Asked to minimise the box, the window manager either refuses or the info button brings it back.
xdotool windowminimize "$box"
if [[ $actions == *MINIMIZE* ]]; then
    check "the window manager minimises the box on request" waitUntil 3 eval '! mapped "$box"'
else
    check "the window manager leaves the box shown on a request to minimise it" holds 1 mapped "$box"
fi
xdotool mousemove "$infoX" "$infoY" click 1
check "after a request to minimise it, an info button shows the box in front" \
    waitUntil 3 eval 'mapped "$box" && [[ $(activeWindow) == "$box" ]] && isAbove "$box" "$main"'

# --- exit -------------------------------------------------------------------------------------
xdotool mousemove 1000 300 click 1 mousemove "$exitX" "$exitY" click 1
checkExitedWithZero
check "nothing on standard error" eval '! grep -v "^$" "$work/app.log" >&2'
finish
