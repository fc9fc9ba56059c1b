#!/usr/bin/env bash
# Every way the program ends, on its own Xvfb with no window manager: the exit button, SIGTERM and
# SIGINT (during a drill and with the About box open) and a lost X connection. Each must end with
# status 0 (1 for the lost display, where the toolkit gives up) and never with a signal, an abort or
# a core dump.
#
#   exits.sh PATH/TO/tapirun
set -uo pipefail

app=${1:?usage: exits.sh PATH/TO/tapirun}
name=exits
source "$(dirname "$0")/../lib/lib.sh"
[[ -x $app ]] || fail "$app is not an executable"
need Xvfb xdpyinfo xdotool import convert
drillPlaces 1024 768
appPid=""

# Starts the program in its own folder, where a core dump would land, and waits until its window is
# drawn.
launch() {
    rm -rf "$work/run" && mkdir -p "$work/run/runtime" && chmod 700 "$work/run/runtime"
    (cd "$work/run" && ulimit -c unlimited &&
        exec env -u DBUS_SESSION_BUS_ADDRESS -u QT_IM_MODULE QT_QPA_PLATFORM=xcb HOME="$work/run" \
            XDG_RUNTIME_DIR="$work/run/runtime" "$app" >"$work/app.log" 2>&1) &
    appPid=$!
    started+=("$appPid")
    for _ in {1..200}; do
        shootUntil launched 0 pixelsAre launched 00FF00 50,30 && return 0
        kill -0 "$appPid" 2>/dev/null || break
        sleep 0.05
    done
    cat "$work/app.log" >&2
    fail "the program showed no window"
}

quietEnd() { ! grep -qiE "abort|segmentation|terminate called|fatal" "$work/app.log"; }

# ended HOW WANT: waits up to 5 s for the program and checks how it ended.
ended() {
    local how=$1 want=$2 status
    for _ in {1..50}; do kill -0 "$appPid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$appPid" 2>/dev/null; then
        check "$how: the program ends within 5 s" false
        stopProcess "$appPid"
        appPid=""
        return
    fi
    wait "$appPid"
    status=$?
    appPid=""
    check "$how: status $want (got $status)" [ "$status" = "$want" ]
    check "$how: no core dump" [ -z "$(find "$work/run" -maxdepth 1 -name 'core*' -print -quit)" ]
    check "$how: no crash or abort reported" quietEnd
}

startXvfb
echo "exits: Xvfb on $DISPLAY (pid $xvfbPid)"

launch
xdotool mousemove 250 48 click 1 # the exit button, right of OK in the top row
ended "exit button" 0

launch
xdotool key F1 space # a drill runs, its timer ticking every 30 ms
check "SIGTERM comes during a drill: a target is shown" waitUntil 5 targetShown drill
kill -TERM "$appPid"
ended "SIGTERM during a drill" 0

aboutOpen() { [ "$(xdotool search --onlyvisible --class '^tapirun$' 2>/dev/null | wc -l)" = 2 ]; }
launch
xdotool mousemove 470 48 click 1 # the info button opens the About box
check "the About box is open beside the main window" waitUntil 5 aboutOpen
kill -INT "$appPid"
ended "SIGINT with the About box open" 0

# The toolkit reports the broken connection and leaves with status 1 from inside the event loop.
launch
xdotool key F1 space
check "the X server goes during a drill: a target is shown" waitUntil 5 targetShown lost
stopProcess "$xvfbPid"
ended "lost X connection" 1
check "lost X connection: the toolkit says why" grep -q "X11 connection broke" "$work/app.log"

finish
