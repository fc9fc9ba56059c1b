# Shared by the test scripts, sourced: a scratch folder, checks and their verdict, an Xvfb of their
# own, a desktop user, pictures of the screen and a drill judged from them, and clean-up at exit:
# the undo steps a test registered, then every process it started (by its pid, last started first).
#
# The sourcing script sets `name` first; it is the prefix of every line printed.

work=$(mktemp -d "/tmp/tapirun-$name.XXXXXX")
started=()
# Commands run at exit before the processes are ended, for undoing what a test changed.
undo=()

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

cleanup() {
    local i
    trap - ALRM
    for ((i = ${#undo[@]} - 1; i >= 0; i--)); do eval "${undo[i]}"; done
    for ((i = ${#started[@]} - 1; i >= 0; i--)); do stopProcess "${started[i]}"; done
    # A server still being tried when the deadline struck is not in started yet.
    stopProcess "${xvfbPid:-}"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# deadline SECONDS: the test gives up by itself after that long, cleaning up as at any exit. A test
# runner's time-out kills without warning, which would leave daemons running and changes to the
# system in place; the deadline comes first. CTest passes one a little below each test's time-out
# in TAPIRUN_DEADLINE, taken at once.
deadline() {
    trap 'echo "$name: FAIL: out of time" >&2; exit 124' ALRM
    # Away from the test's output, which a reader waits on until every writer is gone.
    (
        trap 'kill "$timer" 2>/dev/null; exit 0' TERM
        sleep "$1" &
        timer=$!
        wait "$timer" && kill -ALRM $$
    ) </dev/null >/dev/null 2>&1 &
    started=("$!" "${started[@]}")
}

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

# needRoot: the test runs its desktop as an unprivileged user, which only root can switch to.
needRoot() { [[ $(id -u) == 0 ]] || fail "must run as root, to start the desktop as an unprivileged user"; }

need() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || fail "$tool not found (run scripts/install-deps.sh)"
    done
}

# startXvfb [XVFB-OPTION...]: an Xvfb (no window manager, kept alive when its last client leaves)
# on the first free display of :70..:139 becomes DISPLAY, its screen screenSize (WIDTHxHEIGHT,
# 1024x768 unless set); xvfbPid is its process. Tests run side by side: a server that lost the
# race for a number dies at once, or the display that answers is another one's and its lock file
# names a different process, so the next number is tried.
startXvfb() {
    local n
    need Xvfb
    for n in {70..139}; do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        Xvfb ":$n" -screen 0 "${screenSize:-1024x768}x24" -nolisten tcp -noreset "$@" </dev/null >"$work/xvfb-$n.log" 2>&1 &
        xvfbPid=$!
        export DISPLAY=":$n"
        for _ in {1..50}; do
            # Listening, and the display is this server's (a server with -auth refuses a bare client).
            if [[ -S /tmp/.X11-unix/X$n && $(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null) == "$xvfbPid" ]]; then
                started+=("$xvfbPid")
                return 0
            fi
            kill -0 "$xvfbPid" 2>/dev/null || break
            sleep 0.1
        done
        stopProcess "$xvfbPid"
    done
    xvfbPid=""
    fail "no X display could be started on :70..:139"
}

# startXfwm4: a session bus of the test's own, which the window manager wants, and xfwm4 without
# its compositor on DISPLAY, once it manages the screen.
startXfwm4() {
    dbus-daemon --session --nofork --nopidfile --address="unix:path=$work/bus" >"$work/dbus.log" 2>&1 &
    started+=($!)
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/bus
    waitUntil 5 test -S "$work/bus" || fail "the session bus did not start"
    xfwm4 --compositor=off >"$work/xfwm4.log" 2>&1 &
    started+=($!)
    waitUntil 10 eval 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
        { cat "$work/xfwm4.log" >&2; fail "xfwm4 did not start"; }
}

# --- a desktop user --------------------------------------------------------------------------------
# asUser [NAME=VALUE...] COMMAND...: COMMAND as user (and group), in a clean environment: HOME home,
# XDG_RUNTIME_DIR runtime, the displays that are set, the session bus at bus when set, and the
# script's userEnv. exec keeps the process id of a command started in the background that of the
# command itself. The PATH is the system's: with folders the user may not enter, IBus lists no
# Mozc engine.
userEnv=()
asUser() {
    exec setpriv --reuid="$user" --regid="$group" --clear-groups env -i PATH=/usr/bin:/bin HOME="$home" \
        XDG_RUNTIME_DIR="$runtime" ${DISPLAY:+DISPLAY=$DISPLAY} ${WAYLAND_DISPLAY:+WAYLAND_DISPLAY=$WAYLAND_DISPLAY} \
        ${SWAYSOCK:+SWAYSOCK=$SWAYSOCK} ${bus:+DBUS_SESSION_BUS_ADDRESS=$bus} "${userEnv[@]}" "$@"
}

# userHome: the desktop user's own corner of the scratch folder, home, runtime and shots, into which
# the test copies the programs the user may not reach where they were built; handUserHome hands it
# over. A session's helpers outlive it as daemons; they are found by the private HOME at exit.
user=nobody group=nogroup
userHome() {
    chmod 711 "$work"
    home=$work/home runtime=$work/runtime shots=$work/shots
    mkdir -m 700 "$home" "$runtime" "$shots" || fail "cannot make the desktop user's folders"
    undo+=("stopProcessesOf $home")
}
handUserHome() { chown -R "$user:$group" "$home" "$runtime" "$shots"; }

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

# shoot NAME: a picture of the whole X screen in $shotDir/NAME.ppm.
shotDir=$work
shoot() { import -window root -depth 8 "$shotDir/$1.ppm" 2>/dev/null || fail "screenshot $1 failed"; }
# pixel SHOT X Y -> RRGGBB; SHOT is a picture's NAME in shotDir or its file.
pixel() {
    local file=$1
    [[ $file == */* ]] || file=$shotDir/$1.ppm
    convert "$file" -format "%[hex:p{$2,$3}]" info:
}
# pixelsAre SHOT RRGGBB X,Y...: every listed pixel has that colour
pixelsAre() {
    local shot=$1 want=$2 p got
    shift 2
    for p in "$@"; do
        got=$(pixel "$shot" "${p%,*}" "${p#*,}")
        [[ $got == "$want" ]] || { echo "     pixel $p of $shot is $got, expected $want" >&2; return 1; }
    done
}
# shootUntil NAME SECONDS COMMAND...: screenshots until COMMAND passes on the newest one, so that
# a slow machine waits longer instead of failing; the check that follows reports the outcome.
shootUntil() {
    local name=$1 deadline=$((SECONDS + $2))
    shift 2
    until shoot "$name" && "$@" 2>/dev/null; do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}
# checkShown NAME DESCRIPTION COMMAND...: screenshots NAME for up to 3 s until COMMAND passes on it,
# then the check of COMMAND.
checkShown() {
    local name=$1 what=$2
    shift 2
    shootUntil "$name" 3 "$@"
    check "$what" "$@"
}
# whiteIn SHOT WxH+X+Y -> the number of pure white pixels in that rectangle
whiteIn() { convert "$shotDir/$1.ppm" -crop "$2" +repage -fill black +opaque white -format '%[fx:round(mean*w*h)]' info:; }
# blackIn FILE WxH+X+Y: every pixel of the rectangle is black.
blackIn() { [[ $(convert "$1" -crop "$2" +repage -format '%[fx:maxima.r+maxima.g+maxima.b]' info:) == 0 ]]; }
# holds SECONDS COMMAND...: COMMAND passes at every poll, every 100 ms or as fast as it answers, for
# that long: a state that must not change, checked after the state it follows has been polled for.
holds() {
    local now=${EPOCHREALTIME//[!0-9]/}
    local end=$((now + $1 * 1000000))
    shift
    while ((now < end)); do
        "$@" 2>/dev/null || return 1
        sleep 0.1
        now=${EPOCHREALTIME//[!0-9]/}
    done
    "$@" 2>/dev/null
}
# waitUntil SECONDS COMMAND...: COMMAND polled every 50 ms until it passes or the time is up.
waitUntil() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" 2>/dev/null; do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}

# --- an X window manager's view of the windows -------------------------------------------------
decimal() { printf '%d\n' "$1"; }
activeWindow() { decimal "$(xprop -root _NET_ACTIVE_WINDOW | grep -o '0x[0-9a-f]*' | head -1)"; }
# stackIndex WIN: the window's place in the window manager's stacking order, bottom first.
stackIndex() {
    local i=0 id
    for id in $(xprop -root _NET_CLIENT_LIST_STACKING | grep -o '0x[0-9a-f]*'); do
        [[ $(decimal "$id") == "$1" ]] && { echo $i; return; }
        i=$((i + 1))
    done
    echo -1
}
isAbove() { (($(stackIndex "$1") > $(stackIndex "$2"))); }
# geometryOf WIN -> "X Y W H" of the client area on the screen
geometryOf() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
                             /^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF} END {print x, y, w, h}'
}
# extentsOf WIN -> "LEFT RIGHT TOP BOTTOM" of the window manager's frame
extentsOf() { xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ,; }
# checkFullScreenStart PID WIDTHxHEIGHT: the program's main window, once mapped, sets main; the
# window manager shows it full screen, covering the screen, and active.
checkFullScreenStart() {
    local x y w h
    main=$(waitForWindow "$1")
    check "the main window is full screen (_NET_WM_STATE_FULLSCREEN)" \
        waitUntil 5 eval 'xprop -id "$main" _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN'
    read -r x y w h <<<"$(geometryOf "$main")"
    check "the main window covers the screen (${w}x${h}+$x+$y)" [ "${w}x${h}+$x+$y" = "$2+0+0" ]
    check "the main window is active at start" waitUntil 5 eval '[[ $(activeWindow) == "$main" ]]'
}
# --- a compositor's own view of the windows --------------------------------------------------------
# The test defines windows: one line of JSON per window, bottom of the stacking order first, with
# caption, stack, x, y, width, height, active and minimized. window CAPTION -> its line, or nothing.
window() { windows | jq -c --arg t "$1" 'select(.caption == $t)'; }
mainUp() { main=$(window Tapirun) && [[ -n $main ]]; }

# --- a drill, judged from the screen ---------------------------------------------------------------
# The screens of a drill, polled with waitUntil: idle (the OK button's lime frame), prepared (the
# target frame, once drillPlaces has placed it) and results (the counts frame in yellow).
idle() { shoot idle && [[ $(pixel idle 50 30) == 00FF00 ]]; }
prepared() { shoot prepared && [[ $(pixel prepared "$boxLeft" "$boxTop") == FF00FF ]]; }
results() { shoot results && [[ $(pixel results 50 350) == FFFF00 ]]; }
# drillPlaces WIDTH HEIGHT: where the window's table and the centring rule put the target frame
# (140x140, centred) on a screen of that size, and the strip below it where a wrong character
# shows, stopping short of the progress bar along the bottom edge.
drillPlaces() {
    boxLeft=$((($1 - 140) / 2)) boxTop=$((($2 - 140) / 2))
    inner="138x138+$((boxLeft + 1))+$((boxTop + 1))"
    missStrip="${1}x$(($2 - 17 - boxTop - 141))+0+$((boxTop + 140))"
}
# drillState SHOT -> "TARGET-SIGNATURE WHITE MISS-SIGNATURE OLIVE": the target box and the strip
# below it, and how many white (target) and olive (wrong character) pixels they hold.
drillState() {
    convert "$shotDir/$1.ppm" \
        \( +clone -crop "$inner" +repage -format '%# ' -write info:- +delete \) \
        \( +clone -crop "$inner" +repage -fill black +opaque white -format '%[fx:round(mean*w*h)] ' -write info:- +delete \) \
        \( +clone -crop "$missStrip" +repage -format '%# ' -write info:- +delete \) \
        -crop "$missStrip" +repage -fill black +opaque '#808000' -fill white -opaque '#808000' \
        -format '%[fx:round(mean*w*h)]\n' info:-
}
# targetShown SHOT: a target character is drawn; sets sig and missSig, the starting point of press.
targetShown() {
    local white
    shoot "$1" && read -r sig white missSig _ <<<"$(drillState "$1")" && ((white > 100))
}
# sendKey KEY...: the keys, as xdotool names them; a test on another desktop redefines it.
sendKey() { xdotool key "$@"; }
# press KEY...: types with sendKey KEY... and sets verdict from the screen: correct (a new target,
# no wrong character), wrong (the same target, a character in olive below it) or unclear. The
# box and the strip below it may be repainted one after the other, and under load each in parts,
# so the screen is polled until two pictures in a row show the same whole verdict; a slow machine
# waits longer, up to 10 s, instead of judging a picture half drawn.
press() {
    local s w m o seen="" now deadline=$((SECONDS + 10))
    sendKey "$@"
    verdict=unclear
    while :; do
        shoot key
        read -r s w m o <<<"$(drillState key)"
        now=""
        if [[ $s != "$sig" ]] && ((o == 0 && w > 100)); then
            now="correct $s $m"
        elif [[ $s == "$sig" && $m != "$missSig" ]] && ((o > 50)); then
            now="wrong $s $m"
        fi
        [[ -n $now && $now == "$seen" ]] && { verdict=${now%% *}; break; }
        seen=$now
        ((SECONDS < deadline)) || break
        sleep 0.05
    done
    sig=$s missSig=$m
}
# homeRowDrill HITS KEY...: the home-row keys as sendKey names them, round the set until HITS targets
# are hit (a target stays until typed, so one round hits it); sets correct and unclear. On a desktop
# one hit shows that the keys arrive as the characters they type; rounds of them are for the
# end-to-end tests.
homeRowDrill() {
    local hits=$1 presses=0
    shift
    local keys=("$@")
    correct=0 unclear=0
    while ((correct < hits && presses < hits * ${#keys[@]})); do
        press "${keys[presses % ${#keys[@]}]}"
        presses=$((presses + 1))
        case $verdict in correct) correct=$((correct + 1)) ;; unclear) unclear=$((unclear + 1)) ;; esac
    done
}

# checkDrillToResults WIDTH HEIGHT KEY...: a practice drill from F1 to the results on a screen of
# that size, judged from the screen: F1 prepares it, Space starts it, the home-row keys KEY... hit
# targets, Space ends it. The test defines sendKey, which takes F1, space and KEY....
checkDrillToResults() {
    drillPlaces "$1" "$2"
    shift 2
    sendKey F1
    check "F1 shows the target frame at $boxLeft,$boxTop" waitUntil 3 prepared
    sendKey space
    check "Space shows a target character" waitUntil 3 targetShown running
    homeRowDrill 1 "$@"
    check "home-row keys are judged on the screen ($correct hit, $unclear unclear)" eval '((correct >= 1 && unclear == 0))'
    sendKey space
    check "Space ends the drill: the counts frame in yellow at 50,350" waitUntil 3 results
}

# The program at the origin of a screen screenW x screenH, drillPlaces done for it, judged from the
# screen: the idle screen's buttons, the black ground with no target box, the mode selector and the
# progress bar, in SHOT.
checkIdleScreen() {
    check "OK button frame is lime at 50..151 x 30..65" pixelsAre "$1" 00FF00 50,30 151,30 50,65 151,65 100,30 50,48
    check "exit button frame is lime at 200..301 x 30..65" pixelsAre "$1" 00FF00 200,30 301,30 200,65 301,65
    check "info buttons frame is blue at 370..719 x 30..65" pixelsAre "$1" 0000FF 370,30 719,30 370,65 719,65
    check "background is black, no target box yet" pixelsAre "$1" 000000 10,10 1010,100 512,600 "$boxLeft,$boxTop" 300,400
    check "mode selector is shown at left 50" [ "$(pixel "$1" 50 200)" != 000000 ]
    check "progress bar lies along the bottom edge" [ "$(pixel "$1" 512 $((screenH - 8)))" != 000000 ]
}
# checkDrillStarts: F1 prepares a drill of the home row (selected at start) and Space starts it.
checkDrillStarts() {
    sendKey F1
    checkShown prepared "F1 shows the target frame centred in fuchsia" pixelsAre prepared FF00FF \
        "$boxLeft,$boxTop" "$((boxLeft + 139)),$boxTop" "$boxLeft,$((boxTop + 139))" "$((boxLeft + 139)),$((boxTop + 139))"
    check "F1 hides the mode selector" pixelsAre prepared 000000 50,200
    read -r _ white _ _ <<<"$(drillState prepared)"
    check "the prepared target box is empty" [ "$white" = 0 ]
    sendKey space
    check "Space shows a target character in the box" waitUntil 3 targetShown running
    read -r _ _ _ olive <<<"$(drillState running)"
    check "no wrong character is shown at the start" [ "$olive" = 0 ]
}
# checkDrillRuns YEN RO [HITS]: a drill started, the home-row keys hit HITS targets (3 unless
# given), q misses, and the keys YEN and RO, which both type "\", show the same miss ("q" between
# them makes the second one change the screen).
checkDrillRuns() {
    local yenSig
    checkDrillStarts
    homeRowDrill "${3:-3}" a s d f g h j k l semicolon colon bracketright
    check "every home-row key was judged visibly ($unclear unclear)" [ "$unclear" = 0 ]
    check "rounds of the home row hit ${3:-3} targets" [ "$correct" -ge "${3:-3}" ]
    press q
    check "a key outside the set is shown as a miss" [ "$verdict" = wrong ]
    press "$1"
    check "the $1 key is shown as a miss" [ "$verdict" = wrong ]
    yenSig=$missSig
    press q
    press "$2"
    check "the $2 key is shown as a miss" [ "$verdict" = wrong ]
    check "$1 and $2 show the same character" [ "$missSig" = "$yenSig" ]
}
# checkDrillEnds: Space ends the drill for the results, the target box gone, the modes back.
checkDrillEnds() {
    sendKey space
    checkShown results "Space ends the drill: counts frame in yellow at 50,350" pixelsAre results FFFF00 50,350 199,350 \
        50,449 199,449
    # Its top corners: the lower ones lie inside the strong-key panel, where a key may be drawn.
    check "the target box is gone" pixelsAre results 000000 "$boxLeft,$boxTop" "$((boxLeft + 139)),$boxTop"
    check "the mode selector is back" [ "$(pixel results 50 200)" != 000000 ]
}

# stopProcessesOf HOME: every process with that HOME, for the helpers a desktop starts as daemons
# of their own, out of reach of the process ids a test holds.
stopProcessesOf() {
    local environ pid
    for environ in /proc/[0-9]*/environ; do
        pid=${environ#/proc/} pid=${pid%/environ}
        { tr '\0' '\n' <"$environ"; } 2>/dev/null | grep -qxF "HOME=$1" && kill -TERM "$pid" 2>/dev/null
    done
}

# After a click on the exit button: the program must end, and with status 0.
checkExitedWithZero() {
    if waitUntil 5 eval '! kill -0 "$appPid"'; then
        wait "$appPid"
        local status=$?
        check "the exit button ends the program with status 0 (got $status)" [ "$status" = 0 ]
    else
        check "the exit button ends the program within 5 s" false
    fi
}
# checkCleanExit: checkExitedWithZero, and the program wrote nothing to its log, $work/app.log.
checkCleanExit() { checkExitedWithZero; check "nothing on standard error" eval '! grep -v "^$" "$work/app.log" >&2'; }

if [[ -n ${TAPIRUN_DEADLINE:-} ]]; then deadline "$TAPIRUN_DEADLINE"; fi
