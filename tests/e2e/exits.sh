#!/usr/bin/env bash
# Every way the program ends, on its own Xvfb with no window manager: the exit button, SIGTERM and
# SIGINT (during a drill and with the About box open) and a lost X connection. Each must leave no
# window of the program behind, end with status 0 (1 for the lost display, where the toolkit gives
# up) and never with a signal, an abort or a core dump.
#
#   exits.sh PATH/TO/tapirun
set -uo pipefail

app=${1:?usage: exits.sh PATH/TO/tapirun}
[[ -x $app ]] || { echo "exits: $app is not an executable" >&2; exit 1; }
for tool in Xvfb xdpyinfo xdotool; do
    command -v "$tool" >/dev/null || { echo "exits: $tool not found (run scripts/install-deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/tapirun-exits.XXXXXX)
xvfbPid="" appPid="" failures=0

# shellcheck source=../lib/xvfb.sh
. "$(dirname "$0")/../lib/xvfb.sh"
cleanup() {
    stopProcess "$appPid"
    stopProcess "$xvfbPid"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

check() { # check DESCRIPTION COMMAND...
    if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1" >&2; failures=$((failures + 1)); fi
}

startServer() {
    startXvfb 80 89 1024x768 "$work/xvfb.log" && return 0
    echo "exits: no X display could be started on :80..:89" >&2
    exit 1
}

windows() { xdotool search --class '^tapirun$' 2>/dev/null; }

# Starts the program in its own folder, where a core dump would land, and waits for its window.
launch() {
    rm -rf "$work/run" && mkdir -p "$work/run/runtime" && chmod 700 "$work/run/runtime"
    (cd "$work/run" && ulimit -c unlimited &&
        exec env -u DBUS_SESSION_BUS_ADDRESS -u QT_IM_MODULE QT_QPA_PLATFORM=xcb HOME="$work/run" \
            XDG_RUNTIME_DIR="$work/run/runtime" "$app" >"$work/app.log" 2>&1) &
    appPid=$!
    for _ in {1..100}; do
        [[ -n $(xdotool search --onlyvisible --class '^tapirun$' 2>/dev/null) ]] && { sleep 0.5; return 0; }
        kill -0 "$appPid" 2>/dev/null || break
        sleep 0.1
    done
    echo "exits: the program showed no window" >&2
    cat "$work/app.log" >&2
    exit 1
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

startServer
echo "exits: Xvfb on $DISPLAY (pid $xvfbPid)"

launch
xdotool mousemove 250 48 click 1 # the exit button, right of OK in the top row
ended "exit button" 0
check "exit button: no window is left" [ -z "$(windows)" ]

launch
xdotool key F1 space # a drill runs, its timer ticking every 30 ms
sleep 0.3
kill -TERM "$appPid"
ended "SIGTERM during a drill" 0
check "SIGTERM: no window is left" [ -z "$(windows)" ]

launch
xdotool mousemove 470 48 click 1 # the info button opens the About box
sleep 0.3
check "the About box is open beside the main window" \
    [ "$(xdotool search --onlyvisible --class '^tapirun$' 2>/dev/null | wc -l)" = 2 ]
kill -INT "$appPid"
ended "SIGINT with the About box open" 0
check "SIGINT: no window is left" [ -z "$(windows)" ]

# The toolkit reports the broken connection and leaves with status 1 from inside the event loop.
launch
xdotool key F1 space
sleep 0.3
stopProcess "$xvfbPid"
xvfbPid=""
ended "lost X connection" 1
check "lost X connection: the toolkit says why" grep -q "X11 connection broke" "$work/app.log"

if ((failures > 0)); then
    echo "exits: $failures check(s) failed" >&2
    exit 1
fi
echo "exits: all checks passed"
