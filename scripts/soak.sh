#!/usr/bin/env bash
# The soak, longer than `make test` can afford:
#   1. the randomized driver for a million events (TAPIRUN_SOAK_EVENTS) built with AddressSanitizer
#      and UndefinedBehaviorSanitizer, a third at each screen size the form tests use, with the
#      rest of the form and drill tests beside it;
#   2. eight hours of drilling on the hand-turned clock (TAPIRUN_LONG_RUN_MINUTES): flat memory and
#      an exact minute for every test;
#   3. memcheck on the driver and on a scripted session of the real program on Xvfb: no error and
#      nothing definitely lost outside the toolkit's libraries (tests/soak/valgrind.supp).
# A new seed each run, printed; TAPIRUN_SEED=N replays one.
#
#   soak.sh SANITIZER_BUILD_DIR PLAIN_BUILD_DIR
set -uo pipefail

asan=${1:?usage: soak.sh SANITIZER_BUILD_DIR PLAIN_BUILD_DIR}
plain=${2:?usage: soak.sh SANITIZER_BUILD_DIR PLAIN_BUILD_DIR}
root=$(cd "$(dirname "$0")/.." && pwd)
events=${TAPIRUN_SOAK_EVENTS:-1020000}
seed=${TAPIRUN_SEED:-$((RANDOM * 32768 + RANDOM))}
minutes=${TAPIRUN_LONG_RUN_MINUTES:-480}
supp=$root/tests/soak/valgrind.supp
name=soak
source "$root/tests/lib/lib.sh"
need valgrind Xvfb xdpyinfo xdotool
appPid=""
# The program may still be writing valgrind's report: it gets 5 s before it is killed.
undo+=('stopProcess "$appPid" 5')

step() { # step DESCRIPTION COMMAND...: runs it, keeps its output in the log, says how it went
    local began=$SECONDS log
    log="$work/step-$((++steps)).log"
    echo "soak: $1 ..."
    # The offscreen platform cannot raise windows and says so each time; nothing else is dropped.
    "${@:2}" 2>&1 | grep -v "does not support raise()" >"$log"
    local status=${PIPESTATUS[0]}
    grep -E "^random events: [0-9]|^long run:|definitely lost:|ERROR SUMMARY|ERROR: |runtime error|Failure|FAILED" "$log" |
        sed 's/^/      /'
    if ((status == 0)); then
        echo "ok   $1 ($((SECONDS - began)) s)"
    else
        echo "FAIL $1 (status $status; the whole output follows)" >&2
        cat "$log" >&2
        failures=$((failures + 1))
    fi
}
steps=0

# --- 1. sanitizers ---------------------------------------------------------------------------
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
soakStarted=$SECONDS
step "drill tests under the sanitizers" "$asan/tests/drill_tests"
for screen in 1024x768 1023x768 640x480; do
    step "$((events / 3)) random events and the form tests at $screen under the sanitizers, seed $seed" \
        env QT_QPA_PLATFORM="offscreen:configfile=$asan/tests/screen-$screen.json" TAPIRUN_SEED="$seed" \
        TAPIRUN_EVENTS=$((events / 3)) "$asan/tests/form_tests"
done
echo "soak: $events events under the sanitizers in $((SECONDS - soakStarted)) s"
unset ASAN_OPTIONS UBSAN_OPTIONS

# --- 2. a working day of drilling ------------------------------------------------------------
step "$minutes minutes of drilling on the hand-turned clock" \
    env QT_QPA_PLATFORM="offscreen:configfile=$plain/tests/screen-1024x768.json" \
    TAPIRUN_LONG_RUN_MINUTES="$minutes" "$plain/tests/form_tests" --gtest_filter='LongRun*'

# --- 3. memcheck -----------------------------------------------------------------------------
memcheck=(valgrind --error-exitcode=99 --leak-check=full --show-leak-kinds=definite
    --errors-for-leak-kinds=definite --child-silent-after-fork=yes --num-callers=40 --suppressions="$supp")
step "20000 random events under memcheck" \
    env QT_QPA_PLATFORM="offscreen:configfile=$plain/tests/screen-1024x768.json" TAPIRUN_SEED="$seed" \
    TAPIRUN_EVENTS=20000 "${memcheck[@]}" "$plain/tests/form_tests" --gtest_filter='RandomEvents.*'

# The real program on its own X server with no window manager: a drill with hits and misses, the
# About box, the keyboard picture, then the exit button.
session() {
    startXvfb
    mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
    env -u DBUS_SESSION_BUS_ADDRESS -u QT_IM_MODULE QT_QPA_PLATFORM=xcb HOME="$work" XDG_RUNTIME_DIR="$work/runtime" \
        "${memcheck[@]}" "$plain/tapirun" &
    appPid=$!
    for _ in {1..600}; do
        [[ -n $(xdotool search --onlyvisible --class '^tapirun$' 2>/dev/null) ]] && break
        sleep 0.1
    done
    sleep 2
    local key
    for key in F1 space a s d f g h j k l semicolon colon bracketright q yen backslash Return space; do
        xdotool key "$key"
        sleep 0.3
    done
    xdotool mousemove 470 48 click 1 # the About box, closed with Enter
    sleep 1
    xdotool key Return
    sleep 0.5
    # The last mode item, OK by F1, and the back button of the centred keyboard picture.
    xdotool mousemove 128 272 click 1 key F1
    sleep 1
    xdotool mousemove 362 511 click 1
    sleep 0.5
    xdotool mousemove 250 48 click 1 # the exit button, shown again after the keyboard picture
    for _ in {1..600}; do kill -0 "$appPid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$appPid" 2>/dev/null; then
        echo "the exit button did not end the program within 60 s"
        stopProcess "$appPid" 5
        appPid=""
        return 1
    fi
    wait "$appPid"
    local status=$?
    appPid=""
    stopProcess "$xvfbPid" 5
    xvfbPid=""
    return "$status"
}
step "a session of the real program on Xvfb under memcheck" session

echo "soak: seed $seed; $failures step(s) failed"
((failures == 0))
