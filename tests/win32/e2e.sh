#!/usr/bin/env bash
# End-to-end test of the Windows program under Wine, on the test session's Xvfb display (1024x768,
# JIS keymap, no window manager): start-up full screen with the taskbar hidden, a drill driven with
# real keys through Wine's keyboard layout, the yen and ro keys, and the exit button. The screen is
# read back; a small Windows helper reports what only Windows can see (the window's client area and
# style, the taskbar window).
#
#   e2e.sh SESSION tapirun.exe probe.exe
#
# With TAPIRUN_SHOTS set, pictures of the idle screen and of a drill go there.
set -uo pipefail

session=${1:?usage: e2e.sh SESSION tapirun.exe probe.exe}
app=${2:?usage: e2e.sh SESSION tapirun.exe probe.exe}
probe=${3:?usage: e2e.sh SESSION tapirun.exe probe.exe}
here=$(cd "$(dirname "$0")" && pwd)
name=e2e
source "$here/../lib/lib.sh"
need xdotool import convert wine
eval "$("$here/wine.sh" env "$session")" || exit 1

readonly screenW=1024 screenH=768
# Places that follow from the window's table and the centring rule on a 1024x768 screen.
drillPlaces $screenW $screenH
# The lower row's item of the mode selector (left 50, top 110 at start-up; items 22 high from 19).
readonly lowerRowX=$((50 + 8 + 6)) lowerRowY=$((110 + 19 + 3 * 22 + 11))

appPid=""
die() { fail "$@"; }
appAlive() { [[ -n $appPid ]] && kill -0 "$appPid" 2>/dev/null; }
ask() { wine "$probe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }

keep() { [[ -n ${TAPIRUN_SHOTS:-} ]] && mkdir -p "$TAPIRUN_SHOTS" && convert "$work/$1.ppm" "$TAPIRUN_SHOTS/$2.png"; }

# --- start-up -------------------------------------------------------------------------------
ask show-tray >/dev/null
check "the desktop shows its taskbar before the program starts" [ "$(ask tray)" = shown ]
began=$(date +%s%N)
wine "$app" </dev/null >"$work/app.log" 2>&1 &
appPid=$!
started+=("$appPid")
drawn=""
for _ in {1..150}; do
    shoot idle
    # Under load Wine paints the controls one by one: the OK frame first, the progress bar last.
    [[ $(pixel idle 50 30) == 00FF00 && $(pixel idle 512 $((screenH - 8))) != 000000 ]] && { drawn=1; break; }
    appAlive || die "the program exited during start-up"
    sleep 0.05
done
[[ -n $drawn ]] || die "the OK button and the progress bar were not drawn within 10 s"
echo "e2e: start-up to the first full picture: $((($(date +%s%N) - began) / 1000000)) ms"
keep idle win32-idle

read -r left top width height caption <<<"$(ask window Tapirun)"
check "the client area covers the screen (${width}x${height}+${left}+${top})" \
    [ "${width}x${height}+${left}+${top}" = "${screenW}x${screenH}+0+0" ]
check "the style word has no caption bits" [ "$caption" = nocaption ]
check "the taskbar is hidden while the program runs" [ "$(ask tray)" = hidden ]
check "OK button frame is lime at 50..151 x 30..65" pixelsAre idle 00FF00 50,30 151,30 50,65 151,65
check "exit button frame is lime at 200..301 x 30..65" pixelsAre idle 00FF00 200,30 301,30 200,65 301,65
check "info buttons frame is blue at 370..719 x 30..65" pixelsAre idle 0000FF 370,30 719,30 370,65 719,65
check "background is black, no target box yet" pixelsAre idle 000000 10,10 1010,100 "$boxLeft,$boxTop" 300,400
check "progress bar lies along the bottom edge" [ "$(pixel idle 512 $((screenH - 8)))" != 000000 ]

# --- a drill of the lower row, zxcvbnm,./ and the backslash --------------------------------------
xdotool mousemove "$lowerRowX" "$lowerRowY" click 1
xdotool mousemove 700 700
xdotool key F1
shootUntil prepared 3 pixelsAre prepared FF00FF "$boxLeft,$boxTop"
check "F1 shows the target frame centred in fuchsia" pixelsAre prepared FF00FF \
    "$boxLeft,$boxTop" "$((boxLeft + 139)),$((boxTop + 139))"
xdotool key space
check "Space shows a target character in the box" waitUntil 3 targetShown running

# What is in the box is learned from the keys: a key judged correct names the picture the box
# showed. A picture that none of the letters not yet learned matches is the backslash, the only
# other character of the set. Once known, it is answered with the ro key and later with the yen key;
# on letters the yen and ro keys are shown as misses, which must look alike.
declare -A named
learned() { # learned KEY: the picture of KEY's character is known
    local s
    for s in "${!named[@]}"; do [[ ${named[$s]} == "$1" ]] && return 0; done
    return 1
}
letters=(z x c v b n m comma period slash)
roHit="" yenHit="" yenMiss="" roMiss="" odd="" presses=0
while [[ -z $roHit || -z $yenHit || -z $yenMiss || -z $roMiss ]] && ((presses < 160)); do
    appAlive || die "the program ended during the drill"
    target=${named[$sig]:-}
    if [[ $target == backslash ]]; then
        if [[ -z $roHit ]]; then key=backslash; else key=yen; fi
        press "$key"
        presses=$((presses + 1))
        [[ $verdict == correct ]] || odd+=" $key-on-backslash:$verdict"
        if [[ $key == backslash ]]; then roHit=1; else yenHit=1; fi
    elif [[ -n $target ]]; then
        if [[ -z $yenMiss || -z $roMiss ]]; then
            if [[ -z $yenMiss ]]; then key=yen; else key=backslash; fi
            press "$key"
            presses=$((presses + 1))
            if [[ $verdict == wrong ]]; then
                if [[ $key == yen ]]; then yenMiss=$missSig; shoot drill; else roMiss=$missSig; fi
            else
                odd+=" $key-on-$target:$verdict"
            fi
        fi
        press "$target"
        presses=$((presses + 1))
        [[ $verdict == correct ]] || odd+=" $target-on-$target:$verdict"
    else
        found=""
        for key in "${letters[@]}"; do
            learned "$key" && continue
            lastTarget=$sig
            press "$key"
            presses=$((presses + 1))
            if [[ $verdict == correct ]]; then
                named[$lastTarget]=$key found=1
                break
            fi
            [[ $verdict == wrong ]] || { odd+=" $key:$verdict"; found=1; break; }
        done
        [[ -n $found ]] || named[$sig]=backslash
    fi
done
echo "e2e: $presses keys, ${#named[@]} targets told apart"
check "every key was judged visibly (${odd:- none unclear})" [ -z "$odd" ]
check "the ro key answers the backslash" [ -n "$roHit" ]
check "the yen key answers the backslash" [ -n "$yenHit" ]
check "the yen and ro keys show the same wrong character" eval '[ -n "$yenMiss" ] && [ "$yenMiss" = "$roMiss" ]'
[[ -e $work/drill.ppm ]] && keep drill win32-drill

xdotool key space
shootUntil results 3 pixelsAre results FFFF00 50,350
check "Space ends the drill: counts frame in yellow at 50,350" pixelsAre results FFFF00 50,350 199,350 50,449 199,449
check "the mode selector is back" [ "$(pixel results 50 200)" != 000000 ]

# --- exit -----------------------------------------------------------------------------------
# Straight into the file, not through ask's filter, which would hold "watching" back until the end.
wine "$probe" watch-tray 10 </dev/null >"$work/tray" 2>/dev/null &
watcher=$!
waitUntil 5 grep -q watching "$work/tray" || fail "the taskbar watcher did not start"
xdotool mousemove 250 48 click 1
checkExitedWithZero
wait "$watcher"
check "the taskbar is shown again" [ "$(tail -1 "$work/tray" | tr -d '\r')" = shown ]

finish
