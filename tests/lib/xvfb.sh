# Sourced by the scripts that run the program on an X server of their own.

# startXvfb FIRST LAST SIZE LOG: an Xvfb (no window manager, kept alive when its last client
# leaves) on the first free display of :FIRST..:LAST, SIZE as WIDTHxHEIGHT. Sets xvfbPid and
# DISPLAY; returns 1 when none could be started. A server that lost the race for a number dies at
# once, and the display that then answers is another one's: its lock file names a different
# process, so the next number is tried.
startXvfb() {
    local first=$1 last=$2 size=$3 log=$4 n
    for ((n = first; n <= last; n++)); do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        Xvfb ":$n" -screen 0 "${size}x24" -noreset -nolisten tcp >"$log" 2>&1 &
        xvfbPid=$!
        export DISPLAY=":$n"
        for _ in {1..50}; do
            xdpyinfo >/dev/null 2>&1 && [[ $(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null) == "$xvfbPid" ]] && return 0
            kill -0 "$xvfbPid" 2>/dev/null || break
            sleep 0.1
        done
        stopProcess "$xvfbPid"
        xvfbPid=""
    done
    return 1
}

# stopProcess PID [SECONDS]: TERM, then KILL after SECONDS (3); nothing when PID is empty or gone.
stopProcess() {
    local tenths=$((${2:-3} * 10)) i
    [[ -n $1 ]] && kill -0 "$1" 2>/dev/null || return 0
    kill -TERM "$1" 2>/dev/null
    for ((i = 0; i < tenths; i++)); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$1" 2>/dev/null
    wait "$1" 2>/dev/null
    return 0
}
