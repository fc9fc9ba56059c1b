#!/usr/bin/env bash
# The program as a command-line tool: --help and --version print and exit without a display, a
# wrong argument is one line on standard error with status 2, and a display that cannot be
# reached (none named, none running, or one that turns the program away) is one line with status
# 1: no abort, no core dump, no toolkit advice.
#
#   command-line.sh PATH/TO/tapirun VERSION
set -uo pipefail

name=command-line
app=${1:?usage: command-line.sh PATH/TO/tapirun VERSION}
version=${2:?usage: command-line.sh PATH/TO/tapirun VERSION}
source "$(dirname "$0")/../lib/lib.sh"
need xauth mcookie timeout

# run ENV-ASSIGNMENT... -- ARGUMENT...: runs the program in a clean environment; sets status, out
# and err. The time limit catches a program that opened a window instead of ending.
run() {
    local env=()
    while [[ $1 != -- ]]; do env+=("$1"); shift; done
    shift
    (cd "$work" && exec timeout 20 env -i PATH="$PATH" HOME="$work" "${env[@]}" "$app" "$@") \
        >"$work/out" 2>"$work/err"
    status=$?
    out=$(cat "$work/out")
    err=$(cat "$work/err")
}
lines() { [[ -z $1 ]] && echo 0 || printf '%s\n' "$1" | wc -l; }
oneLine() { [[ $(lines "$err") == 1 && $err == "tapirun: "* ]] || { echo "     stderr: $err" >&2; return 1; }; }
noCore() { ! compgen -G "$work/core*" >/dev/null; }

# --- options: no display is named, so these could not open a window if they tried -------------
run -- --help
check "--help exits 0 (got $status), the usage naming --version on standard output only" \
    eval '[[ $status == 0 && $out == "Usage: tapirun"* && $out == *--version* && -z $err ]]'
run -- --version
check "--version exits 0 (got $status), 'Tapirun $version' on standard output only" \
    eval '[[ $status == 0 && $out == "Tapirun $version" && -z $err ]]'
for wrong in --bogus -x lesson.txt; do
    run -- "$wrong"
    check "$wrong exits 2 (got $status), one line naming it on standard error only" \
        eval '[[ $status == 2 && $err == *"$wrong"* && -z $out ]] && oneLine'
done

# --- displays that cannot be reached --------------------------------------------------------
unreachable() { # unreachable DESCRIPTION ENV...
    local what=$1
    shift
    run "$@" --
    check "$what: exits 1 (got $status)" [ "$status" = 1 ]
    check "$what: one line on standard error" oneLine
    check "$what: no core dump" noCore
    check "$what: no toolkit message" eval '[[ $err != *qt.qpa* && $err != *"platform plugin"* ]]'
}

unreachable "no DISPLAY"
unreachable "no DISPLAY, X platform named" QT_QPA_PLATFORM=xcb
free=""
for n in {130..160}; do [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || { free=$n; break; }; done
unreachable "DISPLAY with no server" DISPLAY=":$free"
unreachable "DISPLAY that is no display name" DISPLAY="no-such-host-or-name"

# Wayland: a display names a socket in XDG_RUNTIME_DIR (wayland-0 unless WAYLAND_DISPLAY says
# otherwise) or an absolute path. In a Wayland session the toolkit tries Wayland, then X.
mkdir -m 700 "$work/runtime"
wayland=(XDG_RUNTIME_DIR="$work/runtime")
unreachable "WAYLAND_DISPLAY with no compositor" "${wayland[@]}" WAYLAND_DISPLAY=wayland-none
check "the message names the Wayland display" eval '[[ $err == *wayland-none* ]]'
unreachable "Wayland session with no compositor" "${wayland[@]}" XDG_SESSION_TYPE=wayland
check "the message names the default Wayland display" eval '[[ $err == *wayland-0* ]]'
unreachable "Wayland session without XDG_RUNTIME_DIR" XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=wayland-0
unreachable "Wayland platform named, no compositor" "${wayland[@]}" QT_QPA_PLATFORM=wayland \
    WAYLAND_DISPLAY="$work/runtime/wayland-none"
# The socket a compositor leaves behind when it dies: the file is there, nobody listens.
perl -MIO::Socket::UNIX -e 'IO::Socket::UNIX->new(Type => SOCK_STREAM(), Local => $ARGV[0], Listen => 1) or die' \
    "$work/runtime/wayland-dead" || fail "could not make a socket file"
unreachable "a Wayland socket nobody listens on" "${wayland[@]}" WAYLAND_DISPLAY=wayland-dead XDG_SESSION_TYPE=wayland

# A server that lets in only the holders of its cookie.
cookie=$(mcookie)
xauth -q -f "$work/cookies" add ":0" . "$cookie"
startXvfb -auth "$work/cookies"
unreachable "a display that refuses the connection" DISPLAY="$DISPLAY" XAUTHORITY=/dev/null
check "the refusal names the display" eval '[[ $err == *"$DISPLAY"* ]]'

# With the cookie the same server lets the program in, also when a Wayland display named before it
# cannot be reached: the toolkit goes on to X, so the check must not stop it.
xauth -q -f "$work/client-cookies" add "$DISPLAY" . "$cookie"
export XAUTHORITY=$work/client-cookies
(cd "$work" && exec env -i PATH="$PATH" HOME="$work" "${wayland[@]}" WAYLAND_DISPLAY=wayland-none \
    XDG_SESSION_TYPE=wayland DISPLAY="$DISPLAY" XAUTHORITY="$XAUTHORITY" "$app") >"$work/out" 2>"$work/err" &
appPid=$!
started+=("$appPid")
check "an unreachable Wayland display with a working X display: the program opens its window on X" \
    eval 'waitForWindow "$appPid" >/dev/null'

finish
