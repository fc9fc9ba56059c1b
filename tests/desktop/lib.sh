# Shared by the desktop tests, sourced: a scratch folder, an Xvfb of their own, the program's window,
# and clean-up at exit: the undo steps a test registered, then every process it started (by its
# pid, last started first).
#
# The sourcing script sets `name` first; it is the prefix of every line printed.

work=$(mktemp -d /tmp/tapirun-desktop.XXXXXX)
started=()
# Commands run at exit before the processes are ended, for undoing what a test changed.
undo=()

cleanup() {
    local i pid n
    for ((i = ${#undo[@]} - 1; i >= 0; i--)); do eval "${undo[i]}"; done
    for ((i = ${#started[@]} - 1; i >= 0; i--)); do
        pid=${started[i]}
        kill -0 "$pid" 2>/dev/null || continue
        kill -TERM "$pid" 2>/dev/null
        for n in {1..30}; do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

fail() {
    echo "$name: FAIL: $*" >&2
    exit 1
}
ok() { echo "ok   $*"; }

failures=0
check() { # check DESCRIPTION COMMAND...: a failed check is reported and the run goes on
    if "${@:2}"; then ok "$1"; else
        echo "FAIL $1" >&2
        failures=$((failures + 1))
    fi
}
# finish: the verdict on the checks, as the last line and the exit status.
finish() {
    if ((failures > 0)); then
        echo "$name: $failures check(s) failed" >&2
        exit 1
    fi
    echo "$name: all checks passed"
    exit 0
}

need() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || fail "$tool not found (run scripts/install-deps.sh)"
    done
}

# startXvfb [XVFB-OPTION...]: the first free display of :110..:129 becomes DISPLAY, its screen
# screenSize (WIDTHxHEIGHT, 1024x768 unless set). A server that dies at once lost a race for its
# number, so the next one is tried.
startXvfb() {
    local n pid
    need Xvfb xdpyinfo
    for n in {110..129}; do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        Xvfb ":$n" -screen 0 "${screenSize:-1024x768}x24" -nolisten tcp -noreset "$@" >"$work/xvfb-$n.log" 2>&1 &
        pid=$!
        for _ in {1..50}; do
            [[ -e /tmp/.X11-unix/X$n ]] && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null && [[ -e /tmp/.X11-unix/X$n ]]; then
            started+=("$pid")
            export DISPLAY=":$n"
            return 0
        fi
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    fail "no X display could be started on :110..:129"
}

# waitForWindow PID: the program's visible main window id, once it is mapped and painted.
waitForWindow() {
    local pid=$1 win=""
    need xdotool
    for _ in {1..100}; do
        win=$(xdotool search --onlyvisible --class '^tapirun$' 2>/dev/null | head -1)
        [[ -n $win ]] && break
        kill -0 "$pid" 2>/dev/null || fail "the program exited during start-up"
        sleep 0.1
    done
    [[ -n $win ]] || fail "no visible Tapirun window after 10 s"
    echo "$win"
}

# shoot NAME: a picture of the whole X screen in $work/NAME.ppm.
shoot() { import -window root -depth 8 "$work/$1.ppm" 2>/dev/null || fail "screenshot $1 failed"; }
# pixel FILE X Y -> RRGGBB
pixel() { convert "$1" -format "%[hex:p{$2,$3}]" info:; }
# blackIn FILE WxH+X+Y: every pixel of the rectangle is black.
blackIn() { [[ $(convert "$1" -crop "$2" +repage -format '%[fx:maxima.r+maxima.g+maxima.b]' info:) == 0 ]]; }
# waitUntil SECONDS COMMAND...: COMMAND polled every 50 ms until it passes or the time is up.
waitUntil() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" 2>/dev/null; do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}
