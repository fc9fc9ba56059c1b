#!/usr/bin/env bash
# What a screen reader gets from the program, on an Xvfb of the test's own with the JIS keymap and
# no window manager. The session runs as nobody with a private HOME in a private session bus, with
# the accessibility bus of at-spi2-core started on it as a desktop starts it.
#
#   screen-reader.sh tree PATH/TO/tapirun        the accessible tree read back over AT-SPI
#   screen-reader.sh speech PATH/TO/tapirun      Orca, headless, its speech read from its own log
#   screen-reader.sh silenced PATH/TO/tapirun-silent
#                                                the same with a program whose announcements are
#                                                silent: the speech checks must then find nothing
#   screen-reader.sh activation PATH/TO/tapirun  under xfwm4, with Orca: the window manager activates
#                                                the main window, and Orca presents it and its focus
#   screen-reader.sh activation-wayland PATH/TO/tapirun
#                                                the same with the program native on a headless
#                                                sway, whose compositor activates the window; keys
#                                                from wtype
set -uo pipefail

name=screen-reader
usage="usage: screen-reader.sh tree|speech|silenced|activation|activation-wayland PATH/TO/tapirun"
mode=${1:?$usage}
app=${2:?$usage}
source "$(dirname "$0")/../lib/lib.sh"
need dbus-run-session dbus-send setpriv xdotool setxkbmap /usr/bin/python3 /usr/libexec/at-spi-bus-launcher
[[ $mode == tree ]] || need orca
[[ $mode == activation ]] && need xfwm4 xprop
[[ $mode == activation-wayland ]] && need sway wtype

userHome
cp "$app" "$home/tapirun" && cp "$(dirname "$0")/screen_reader.py" "$home/" || fail "cannot copy the program"
handUserHome

startXvfb
setxkbmap -model jp106 -layout jp || fail "setxkbmap -model jp106 -layout jp failed"

# The session: accessibility switched on as a desktop's setting does it, then Orca when the test
# needs it, then the checks, which start the program themselves.
cat >"$home/session.sh" <<'SESSION'
set -u
mode=$1
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
    string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null || exit 1
helpers=()
if [[ $mode == activation ]]; then
    xfwm4 --compositor=off >"$HOME/xfwm4.log" 2>&1 &
    helpers+=($!)
    for _ in {1..100}; do xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id" && break; sleep 0.1; done
fi
# A headless sway of the session's own, and one wtype kept waiting so that the seat has its
# keyboard before the program starts.
if [[ $mode == activation-wayland ]]; then
    printf 'output HEADLESS-1 resolution 1024x768 position 0 0\nxwayland disable\n' >"$HOME/sway.conf"
    WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 sway -c "$HOME/sway.conf" \
        >"$HOME/sway.log" 2>&1 &
    helpers+=($!)
    for _ in {1..150}; do ls "$XDG_RUNTIME_DIR"/wayland-? >/dev/null 2>&1 && break; sleep 0.1; done
    WAYLAND_DISPLAY=$(cd "$XDG_RUNTIME_DIR" && ls wayland-? 2>/dev/null | head -1)
    [[ -n $WAYLAND_DISPLAY ]] || { tail -5 "$HOME/sway.log" >&2; exit 1; }
    export WAYLAND_DISPLAY QT_QPA_PLATFORM=wayland
    wtype -s 3600000 -k Shift_L &
    helpers+=($!)
fi
# Orca keeps the log of what it speaks in memory; a handler on the root logger writes each line to
# a file as it is spoken. With no sound server its speech goes nowhere else.
if [[ $mode != tree ]]; then
    /usr/bin/python3 -c 'import logging, runpy, sys
logging.basicConfig(stream=open(sys.argv[1], "a", buffering=1), level=logging.INFO, format="%(message)s")
sys.argv = ["orca", "--replace", "-u", sys.argv[2]]
runpy.run_path("/usr/bin/orca", run_name="__main__")' "$HOME/speech.log" "$HOME/orca" >"$HOME/orca.out" 2>&1 &
    helpers+=($!)
    for _ in {1..100}; do grep -q "SPEECH OUTPUT: 'Screen reader on" "$HOME/speech.log" 2>/dev/null && break; sleep 0.1; done
fi
/usr/bin/python3 "$HOME/screen_reader.py" "$mode" "$HOME/tapirun" "$HOME/speech.log"
status=$?
((${#helpers[@]} > 0)) && kill "${helpers[@]}"
exit $status
SESSION
chown "$user:$group" "$home/session.sh"

(asUser LANG=C.UTF-8 dbus-run-session -- bash "$home/session.sh" "$mode") 2>"$work/session.err" &
sessionPid=$!
started+=("$sessionPid")
wait "$sessionPid"
status=$?
if ((status != 0)); then
    grep -v 'dbus-daemon\|^$' "$work/session.err" | tail -20 >&2
    [[ -f $home/speech.log ]] && grep 'SPEECH OUTPUT' "$home/speech.log" | tail -30 >&2
fi
exit "$status"
