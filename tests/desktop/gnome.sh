#!/usr/bin/env bash
# The program on GNOME: a headless GNOME Shell of its own on Wayland (one virtual 1024x768
# monitor), the program a native Wayland client. GNOME Shell keeps its own interfaces for pictures
# and for running code locked, so the test starts it in a session mode of the test's own that
# loads a small extension (gnome/): it shows the shell's view of the windows, takes pictures, and
# types and clicks through virtual devices of mutter's own. The shell runs as nobody with a
# private HOME, session bus and system bus, as in a user's session.
#
#   gnome.sh PATH/TO/tapirun
#
# GNOME Shell aborts at start-up where systemd's seat folder exists but no system bus answers, so
# the test gives it a bus of its own as the system bus.
set -uo pipefail

name=gnome
app=${1:?usage: gnome.sh PATH/TO/tapirun}
source "$(dirname "$0")/../lib/lib.sh"
needRoot
need gnome-shell dbus-daemon gdbus setpriv jq convert

readonly outputW=1024 outputH=768 screenW=1024 screenH=768 uuid=tapirun-test@zunobe.jp

userHome
data=$home/share
mkdir -p "$data/gnome-shell/modes" "$data/gnome-shell/extensions/$uuid"
cp "$app" "$home/tapirun" || fail "cannot copy the program"
here=$(dirname "$0")/gnome
cp "$here/tapirun-test.json" "$data/gnome-shell/modes/" &&
    cp "$here/metadata.json" "$here/extension.js" "$data/gnome-shell/extensions/$uuid/" ||
    fail "cannot install the test extension"
handUserHome

# Session modes are read from the data folders only, not from the user's own.
userEnv=(LANG=C.UTF-8 XDG_DATA_DIRS="$data:/usr/local/share:/usr/share"
    DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$runtime/system")

# --- the shell --------------------------------------------------------------------------------
unset DISPLAY WAYLAND_DISPLAY
for b in bus system; do
    (asUser dbus-daemon --session --nofork --nopidfile --address="unix:path=$runtime/$b") >"$work/dbus-$b.log" 2>&1 &
    started+=($!)
    waitUntil 5 test -S "$runtime/$b" || fail "the $b bus did not start"
done
(asUser gnome-shell --headless --wayland --no-x11 --virtual-monitor "${outputW}x$outputH" \
    --wayland-display wayland-test --mode=tapirun-test) >"$work/shell.log" 2>&1 &
started+=($!)
# ask METHOD ARG...: a method of the test extension.
ask() {
    (asUser gdbus call --session --dest org.gnome.Shell --object-path /jp/zunobe/TapirunTest \
        --method "jp.zunobe.TapirunTest.$1" "${@:2}")
}
waitUntil 20 eval 'ask Windows >/dev/null 2>&1' || { tail -5 "$work/shell.log" >&2; fail "GNOME Shell or its test extension did not start"; }
export WAYLAND_DISPLAY=wayland-test
# windows: one line of JSON per window, bottom of the stacking order first.
windows() { ask Windows | sed "s/^('//; s/',)\$//" | jq -c '.[]'; }
shotDir=$shots
# The shell's pictures are PNG with an alpha channel.
shoot() {
    ask Screenshot "$shots/$1.png" >/dev/null 2>>"$work/shots.log" &&
        convert "$shots/$1.png" -alpha off "$shots/$1.ppm" || fail "no picture from GNOME Shell"
}
tell() { ask Pointer "$@" >/dev/null || fail "no pointer from GNOME Shell"; }
# click X Y: a left click there, then the pointer out of the way over the main window, far from
# the top-left corner, which would open the overview.
click() { tell move "$1" "$2" && tell press 0 0 && tell release 0 0 && tell move $((outputW - 1)) $((outputH / 2)); }
declare -A keysyms=([F1]=0xffbe [space]=0x20 [';']=0x3b [':']=0x3a [']']=0x5d)
sendKey() { ask Key "${keysyms[$1]:-$(printf '0x%x' "'$1")}" >/dev/null || fail "no keys from GNOME Shell"; }

# Control: the shell takes pictures of the monitor's size.
shoot empty
check "GNOME Shell gives a ${outputW}x${outputH} picture" \
    [ "$(convert "$shots/empty.ppm" -format %wx%h info:)" = "${outputW}x${outputH}" ]

# --- start-up: full screen and active -----------------------------------------------------------
(asUser XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland "$home/tapirun") >"$work/app.log" 2>&1 &
appPid=$!
started+=("$appPid")
waitUntil 10 mainUp || { cat "$work/app.log" >&2; fail "no Tapirun window on GNOME Shell"; }
check "the window is a native Wayland one" eval '[[ $(jq .wayland <<<"$main") == true ]]'
check "the window is full screen and active, the overview closed" \
    waitUntil 3 eval 'mainUp && [[ $(jq "[.fullScreen, .active, (.overview | not)] | all" <<<"$main") == true ]]'
check "the window covers the monitor" \
    eval '[[ $(jq -r "\"\(.width)x\(.height)+\(.x)+\(.y)\"" <<<"$main") == ${outputW}x${outputH}+0+0 ]]'
check "the idle screen is drawn over the top bar (the OK button's lime frame)" waitUntil 10 idle

# --- a practice drill, from F1 to the results ----------------------------------------------------
checkDrillToResults "$outputW" "$outputH" a s d f g h j k l ';' ':' ']'

# --- the About box and the exit -------------------------------------------------------------------
# The box has the toolkit's own caption bar, and the shell places it.
source "$(dirname "$0")/about-box.sh"
placedBy=anywhere onTop=covered minimise=allowed reopens=- closer=ok drags=no
useWindowList
minimiseBox() { ask Minimise 'バージョン情報' >/dev/null; }
restoreBox() { ask Activate 'バージョン情報' >/dev/null; }
boxOpened() {
    local x=$bx y=$by w=$bw h=$bh
    check "the shell offers no maximise" eval '[[ $(jq .maximizable <<<"$box") == false ]]'
    check "the box is not a child of the main window" eval '[[ $(jq .transient <<<"$box") == false ]]'
    # The toolkit's own caption bar draws a maximise button, second from the right; a maximise
    # request would have the shell show its top bar over the full-screen main window.
    click $((bx + bw - 43)) $((by + 12))
    check "its maximise button changes nothing, and the top bar stays hidden" holds 1 eval 'boxGeometry &&
        [[ "$bx $by $bw $bh" == "$x $y $w $h" ]] && shoot maximise && [[ $(pixel maximise 50 30) == 00FF00 ]]'
    check "the main window is still full screen over the top bar" \
        eval 'main=$(window Tapirun); [[ $(jq -r "\"\(.fullScreen) \(.width)x\(.height)+\(.x)+\(.y)\"" <<<"$main") == "true ${outputW}x${outputH}+0+0" ]]'
}
aboutBoxAndExit
finish
