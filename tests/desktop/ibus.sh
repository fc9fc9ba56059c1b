#!/usr/bin/env bash
# The program with a Japanese input method switched on: IBus with Mozc, Mozc on from the start,
# on an Xvfb of the test's own with the JIS keymap. Mozc refuses to run as root, so the session
# (its bus, IBus, Mozc and every client) runs as nobody with a private HOME.
#
#   ibus.sh PATH/TO/tapirun PATH/TO/line-edit-probe
#
# The control comes first: a plain Qt line edit in the same session must receive kana for the keys
# a, i, u, or a pass of the drill would prove nothing (it would pass with the method off as well).
# Then the drill must still get the plain characters and judge them, the yen and ro keys among
# them.
set -uo pipefail

name=ibus
usage="usage: ibus.sh PATH/TO/tapirun PATH/TO/line-edit-probe"
app=${1:?$usage}
probe=${2:?$usage}
source "$(dirname "$0")/../lib/lib.sh"
needRoot
need ibus-daemon ibus dbus-daemon setpriv xdotool setxkbmap import convert

userHome
mkdir -p "$home/.config/mozc"
cp "$app" "$home/tapirun" && cp "$probe" "$home/line-edit-probe" || fail "cannot copy the programs"
# Mozc's own default, but switched on at launch instead of starting in direct input.
cat >"$home/.config/mozc/ibus_config.textproto" <<'EOF'
engines {
  name : "mozc-jp"
  longname : "Mozc"
  layout : "default"
  layout_variant : ""
  layout_option : ""
  rank : 80
}
active_on_launch: True
EOF
handUserHome

startXvfb
# The JIS keymap whose yen key types the yen sign: xdotool presses that key itself rather than a
# spare key code bound to the sign for a moment, which a program reading the keymap late finds empty.
setxkbmap -model jp106 -layout jp -variant OADG109A || fail "setxkbmap for the JIS keymap failed"
bus=unix:path=$runtime/bus

# --- the input method -----------------------------------------------------------------------------
(asUser dbus-daemon --session --nofork --nopidfile --address="$bus") >"$work/dbus.log" 2>&1 &
started+=($!)
waitUntil 5 test -S "$runtime/bus" || fail "the session bus did not start"
# No panel, settings service or emoji picker: only the daemon and its engines. The engine list is
# read afresh, so that Mozc's is the one written above.
(asUser ibus-daemon --single --emoji-extension=disable --cache=refresh) >"$work/ibus.log" 2>&1 &
started+=($!)
# "ibus engine NAME" ends with status 1 even when it switched, so the engine is asked back.
mozcChosen() {
    (asUser ibus engine mozc-jp) >/dev/null 2>&1
    [[ $( (asUser ibus engine) 2>/dev/null) == mozc-jp ]]
}
waitUntil 15 mozcChosen || { cat "$work/ibus.log" >&2; fail "IBus did not take Mozc as its engine"; }
check "IBus runs with Mozc as its engine" [ "$(asUser ibus engine 2>/dev/null)" = mozc-jp ]

# --- the control: a line edit gets kana ----------------------------------------------------------
(asUser QT_IM_MODULE=ibus "$home/line-edit-probe") >"$work/probe.out" 2>"$work/probe.err" &
probePid=$!
started+=("$probePid")
probeUp() { [[ -n $(xdotool search --onlyvisible --name '^line-edit-probe$' 2>/dev/null) ]]; }
waitUntil 10 probeUp || fail "the line edit did not show"
# The line edit's connection to IBus is made once its window is active; then a, i, u are composed
# and Return commits them.
sleep 0.5
xdotool key a i u Return
check "the line edit receives あいう for a, i, u: the method is composing" \
    waitUntil 5 eval '[[ $(tail -1 "$work/probe.out") == あいう ]]'
check "it never held the plain letters" eval '! grep -qx "a\|ai\|aiu" "$work/probe.out"'
kill "$probePid"
waitUntil 3 eval '! kill -0 "$probePid"'

# --- the drill: plain characters ---------------------------------------------------------------
(asUser QT_IM_MODULE=ibus "$home/tapirun") >"$work/app.log" 2>&1 &
appPid=$!
started+=("$appPid")
waitForWindow "$appPid" >/dev/null
drillPlaces 1024 768
waitUntil 10 idle || fail "the program's window is not drawn"
xdotool key F1
check "F1 prepares a drill" waitUntil 3 prepared
xdotool key space
check "Space starts it" waitUntil 3 targetShown running
homeRowDrill 1 a s d f g h j k l semicolon colon bracketright
check "home-row keys reach the drill as plain characters and are judged ($correct hit, $unclear unclear)" \
    eval '((correct >= 1 && unclear == 0))'
press q
check "a key outside the set is judged a miss" [ "$verdict" = wrong ]
# The yen key and the ro key both type the byte drawn as a yen sign; a q between them makes the
# second change the screen.
press yen
check "the ¥ key is judged a miss" [ "$verdict" = wrong ]
yenMiss=$missSig
press q
press backslash
check "the ろ key is judged a miss" [ "$verdict" = wrong ]
check "both show the same character" [ "$missSig" = "$yenMiss" ]
xdotool key space
check "Space ends the drill with its results" waitUntil 3 results
check "IBus kept Mozc as its engine all along" [ "$(asUser ibus engine 2>/dev/null)" = mozc-jp ]

xdotool mousemove 250 48 click 1
checkExitedWithZero
finish
