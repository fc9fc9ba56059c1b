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
source "$(dirname "$0")/lib.sh"
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
check "--help exits 0" [ "$status" = 0 ]
check "--help prints the usage on standard output" grep -q '^Usage: tapirun' "$work/out"
check "--help names --version" grep -q -- '--version' "$work/out"
check "--help prints nothing on standard error" [ -z "$err" ]

run -- --version
check "--version exits 0" [ "$status" = 0 ]
check "--version prints 'Tapirun $version'" [ "$out" = "Tapirun $version" ]
check "--version prints nothing on standard error" [ -z "$err" ]

for wrong in --bogus -x lesson.txt; do
    run -- "$wrong"
    check "$wrong exits 2 (got $status)" [ "$status" = 2 ]
    check "$wrong is one line on standard error naming it" eval 'oneLine && [[ $err == *"$wrong"* ]]'
    check "$wrong prints nothing on standard output" [ -z "$out" ]
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

# A server that lets in only the holders of its cookie.
xauth -q -f "$work/cookies" add ":0" . "$(mcookie)"
startXvfb -auth "$work/cookies"
unreachable "a display that refuses the connection" DISPLAY="$DISPLAY" XAUTHORITY=/dev/null
check "the refusal names the display" eval '[[ $err == *"$DISPLAY"* ]]'

finish
