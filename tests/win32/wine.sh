#!/usr/bin/env bash
# The Wine session the Windows program's tests share: an Xvfb display of its own with the JIS
# keymap, a Wine prefix inside the build folder and one wineserver that stays up between tests.
#
#   wine.sh start SESSION PROBE.exe            start the display and the session; the prefix is made
#                                              once (about 20 s) and kept in SESSION/prefix
#   wine.sh run SESSION PROGRAM.exe [ARGS...]  run a Windows program in the session
#   wine.sh dpi SESSION DPI WxH PROGRAM.exe [ARGS...]
#                                              the same with the prefix's LogPixels at DPI, as the
#                                              desktop's scaling sets it, on a Wine desktop of its own
#                                              of WxH device pixels, as a monitor of that many would
#                                              give; 96 and the session's screen again afterwards
#   wine.sh env SESSION                        print the session's variables, for scripts to source
#   wine.sh stop SESSION                       end the session and its display
#
# Wine never runs without its prefix set: no install prompts, nothing written into HOME, and with
# the debugger switched off a crash ends the program with a non-zero status.
set -uo pipefail

command=${1:?usage: wine.sh start|run|dpi|env|stop SESSION ...}
session=${2:?usage: wine.sh start|run|dpi|env|stop SESSION ...}
shift 2

export WINEPREFIX="$session/prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe,winedbg.exe="

useDisplay() {
    [[ -r $session/display ]] || { echo "wine.sh: no session in $session (run the wine_session_start test)" >&2; exit 1; }
    DISPLAY=$(<"$session/display")
    export DISPLAY
}

# Helper processes of Wine inherit stdio; they must not hold the caller's output pipe open.
quiet() { "$@" </dev/null >/dev/null 2>&1; }

stopSession() {
    if [[ -r $session/display ]]; then
        useDisplay
        quiet wineserver -k
        quiet wineserver -w
    fi
    if [[ -r $session/xvfb.pid ]]; then
        local pid
        pid=$(<"$session/xvfb.pid")
        kill "$pid" 2>/dev/null
        for _ in {1..30}; do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null
    fi
    rm -f "$session/display" "$session/xvfb.pid"
}

bootServer() {
    quiet wineserver -p
    quiet wineboot || { echo "wine.sh: wineboot failed" >&2; exit 1; }
}
# Wine's explorer, started by the desktop's first user, owns the taskbar window; a Windows desktop
# shows it before the program starts. The regional settings are the prefix's own again.
bootDesktop() {
    bootServer
    quiet wine "$(<"$session/probe")" fresh-desktop || { echo "wine.sh: no taskbar window in the session" >&2; exit 1; }
}

case $command in
start)
    probe=${1:?usage: wine.sh start SESSION PROBE.exe}
    mkdir -p "$session"
    stopSession
    name=wine.sh
    source "$(dirname "$0")/../lib/lib.sh"
    need Xvfb xdpyinfo setxkbmap wine wineserver
    # The keymap is set before Wine starts, and -noreset keeps it when the last client leaves. The
    # display outlives this script: the tests after it use it, and stop ends it.
    startXvfb
    echo "$xvfbPid" >"$session/xvfb.pid"
    echo "$DISPLAY" >"$session/display"
    unset 'started[-1]'
    xvfbPid=""
    useDisplay
    # The JIS keymap whose yen key types the yen sign, so that xdotool presses that key itself. The
    # plain jp keymap has no yen sign: xdotool then binds one to a spare key code for the press and
    # unbinds it at once, and Wine, reading the keymap again a moment late under load, finds that
    # key code empty and drops the key.
    setxkbmap -model jp106 -layout jp -variant OADG109A || { echo "wine.sh: setxkbmap failed" >&2; exit 1; }
    fresh=0
    [[ -e $WINEPREFIX/system.reg ]] || fresh=1
    # A new prefix goes on being set up after wineboot returns, and programs started meanwhile wait
    # for it, seconds at a time: the server is let go first, so that its end marks the set-up's.
    if ((fresh)); then
        quiet wineboot -i || { echo "wine.sh: wineboot failed" >&2; exit 1; }
        quiet wineserver -w
    fi
    if ((fresh)) || [[ $probe -nt $session/prefix-settings ]]; then
        bootServer
        quiet wine "$probe" setup || { echo "wine.sh: the prefix's settings failed" >&2; exit 1; }
        touch "$session/prefix-settings"
    fi
    echo "$probe" >"$session/probe"
    bootDesktop
    echo "wine.sh: session on $DISPLAY, prefix $WINEPREFIX"
    ;;
run)
    useDisplay
    exec wine "$@"
    ;;
dpi)
    useDisplay
    dpi=${1:?usage: wine.sh dpi SESSION DPI WxH PROGRAM.exe [ARGS...]}
    size=${2:?usage: wine.sh dpi SESSION DPI WxH PROGRAM.exe [ARGS...]}
    program=${3:?usage: wine.sh dpi SESSION DPI WxH PROGRAM.exe [ARGS...]}
    shift 2
    # The session's X screen is 1024x768; a larger one comes from a desktop window of Wine's own,
    # which only this program, named in the prefix's per-program settings, is started on.
    own="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$program")\\Explorer"
    setDpi() { quiet wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f; }
    setDpi "$dpi"
    quiet wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v "screen-$size" /t REG_SZ /d "$size" /f
    quiet wine reg add "$own" /v Desktop /t REG_SZ /d "screen-$size" /f
    wine "$@"
    status=$?
    quiet wine reg delete "$own" /f
    setDpi 96
    # A desktop of another size leaves the session's screen that size and its taskbar gone: the
    # session's server starts again, as the session began.
    quiet wineserver -k
    quiet wineserver -w
    bootDesktop
    exit "$status"
    ;;
env)
    useDisplay
    printf 'export %s=%q\n' DISPLAY "$DISPLAY" WINEPREFIX "$WINEPREFIX" WINEARCH "$WINEARCH" \
        WINEDEBUG "$WINEDEBUG" WINEDLLOVERRIDES "$WINEDLLOVERRIDES"
    ;;
stop)
    stopSession
    ;;
*)
    echo "wine.sh: unknown command $command" >&2
    exit 2
    ;;
esac
