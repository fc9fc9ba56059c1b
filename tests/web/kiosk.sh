#!/usr/bin/env bash
# End-to-end test of the browser program in a real browser: Chromium, Firefox ESR or WebKitGTK's
# MiniBrowser covering the screen (a kiosk) on an Xvfb of its own at 1024x768 with the JIS keymap
# and no window manager, the site served on 127.0.0.1, real key events from xdotool (the yen key
# is keycode 132, ro is 97), judged from screenshots as the desktop program's end-to-end test is.
#
# With "window", the browser opens the page instead in an ordinary 800x600 window under the xfwm4
# window manager, as a learner does: the page's start screen takes a real key, the page goes full
# screen, and the program must stand where it would have stood had it started on the whole screen.
#
#   kiosk.sh SITE-DIR [chromium|firefox|webkit] [kiosk|window]
set -uo pipefail

site=${1:?usage: kiosk.sh SITE-DIR [chromium|firefox|webkit] [kiosk|window]}
engine=${2:-chromium}
mode=${3:-kiosk}
[[ $mode == kiosk || $mode == window ]] || { echo "kiosk: no mode $mode" >&2; exit 2; }
minibrowser=/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser
case $engine in
# leaveChords: chords that would leave a kiosk's page and that the browser lets a page keep. Firefox
# keeps Ctrl+W (and Ctrl+T, N, Q) for itself whatever the page asks, while its reloads are the
# page's; WebKitGTK's MiniBrowser answers every chord of its own before the page sees it.
chromium) browser=chromium windowClass=chromium leaveChords="ctrl+w ctrl+t" ;;
firefox) browser=firefox-esr windowClass=firefox leaveChords="ctrl+r F5" ;;
webkit) browser=$minibrowser windowClass=MiniBrowser leaveChords="" ;;
*) echo "kiosk: no engine $engine" >&2; exit 2 ;;
esac
name=kiosk
source "$(dirname "$0")/../lib/lib.sh"
[[ -r $site/index.html ]] || fail "no site in $site"
need Xvfb xdpyinfo xdotool setxkbmap import convert "$browser"
[[ $mode == window ]] && need dbus-daemon xfwm4 xprop

readonly screenW=1024 screenH=768
# Places that follow from the tables and the centring rule on the page's viewport, whose size is
# read from the first screenshot: the browser keeps a pixel or two of the screen for itself.
placesFor() { # placesFor WIDTH HEIGHT
    viewW=$1 viewH=$2
    drillPlaces "$viewW" "$viewH"
    missTop=$((boxTop + 140)) # wrong character below the target frame
    barTop=$((viewH - 17))    # progress bar
    # The About box: 273x195 inside a border of 3 and a caption bar of 18, centred at first opening.
    aboutW=$((273 + 6)) aboutH=$((195 + 24))
    aboutLeft=$(((viewW - aboutW) / 2)) aboutTop=$(((viewH - aboutH) / 2))
    # The keyboard picture: 800x330, centred.
    kpLeft=$(((viewW - 800) / 2)) kpTop=$(((viewH - 330) / 2))
}
placesFor $screenW $screenH

browserPid=""
undo+=('[[ -n ${TAPIRUN_KIOSK_SHOTS:-} ]] && mkdir -p "$TAPIRUN_KIOSK_SHOTS" && cp "$work"/*.ppm "$TAPIRUN_KIOSK_SHOTS"/ 2>/dev/null')

die() {
    [[ -s $work/browser.log ]] && { echo "--- browser output ---" >&2; tail -20 "$work/browser.log" >&2; }
    fail "$@"
}
browserAlive() { [[ -n $browserPid ]] && kill -0 "$browserPid" 2>/dev/null; }

# --- X server, site and browser -------------------------------------------------------------
startXvfb
setxkbmap -model jp106 -layout jp || die "setxkbmap -model jp106 -layout jp failed"
echo "kiosk: Xvfb on $DISPLAY (pid $xvfbPid)"
[[ $mode == window ]] && startXfwm4

/usr/bin/python3 "$(dirname "$0")/../../scripts/serve-web.py" "$site" 18080 >"$work/server.log" 2>&1 &
started+=($!)
serving() { url=$(grep -o 'http://127.0.0.1:[0-9]*/' "$work/server.log" | head -1) && [[ -n $url ]]; }
waitUntil 5 serving || die "the site's server did not start"

# A fresh profile and a private home, nothing of the browser's own running in the background, as
# root. With no window manager the browser sizes its own window: the screen's size is given.
mkdir -p "$work/profile" "$work/home"
windowW=$screenW windowH=$screenH kioskFlag=--kiosk
[[ $mode == window ]] && windowW=800 windowH=600 kioskFlag=""
case $engine in
chromium)
    mapfile -t flags < <(grep -v '^#' "$(dirname "$0")/chromium-flags")
    # --test-type: no bar about --no-sandbox pushing the page down.
    # shellcheck disable=SC2086
    chromium $kioskFlag "${flags[@]}" --test-type --window-position=0,0 --window-size=${windowW},${windowH} \
        --user-data-dir="$work/profile" "$url" </dev/null >"$work/browser.log" 2>&1 &
    ;;
firefox)
    cp "$(dirname "$0")/firefox-user.js" "$work/profile/user.js"
    # shellcheck disable=SC2086
    HOME="$work/home" MOZ_CRASHREPORTER_DISABLE=1 firefox-esr $kioskFlag --no-remote --width $windowW \
        --height $windowH --profile "$work/profile" "$url" </dev/null >"$work/browser.log" 2>&1 &
    ;;
webkit)
    HOME="$work/home" XDG_CACHE_HOME="$work/home/cache" XDG_DATA_HOME="$work/home/data" \
        "$minibrowser" --full-screen --private "$url" </dev/null >"$work/browser.log" 2>&1 &
    ;;
esac
browserPid=$!
started+=("$browserPid")
echo "kiosk: $engine (pid $browserPid) on $url"

# count SHOT WxH+X+Y COLOUR -> pixels of that colour in the rectangle
count() { convert "$shotDir/$1.ppm" -crop "$2" +repage -fill black +opaque "$3" -fill white -opaque "$3" \
    -format '%[fx:round(mean*w*h)]' info:; }
windows() { xdotool search --onlyvisible --class "$windowClass" 2>/dev/null | wc -l; }

# The keyboard goes to the window under the pointer when no window manager hands out the focus.
xdotool mousemove 900 700
# The start screen names the product in yellow; the program, whose OK button has a lime frame,
# waits for its key.
startShown() {
    (($(count "$1" "${screenW}x${screenH}+0+0" yellow) > 100 && $(count "$1" "${screenW}x${screenH}+0+0" lime) == 0))
}
if [[ $mode == window ]]; then
    shootUntil start 30 startShown start || die "the page did not show its start screen within 30 s"
    check "the start screen waits for a key in the window" startShown start
    xdotool search --onlyvisible --class "$windowClass" windowactivate --sync >/dev/null 2>&1
    xdotool key a
else
    # The page tells a kiosk by full screen itself and the display modes, not by its size:
    # Chromium's kiosk is in the full-screen display mode and has no start screen; Firefox's, on a
    # screen with no window manager, is a window as large as the screen in the browser's display
    # mode, which the page cannot tell from a maximised window, so its start screen takes a key,
    # which asks for full screen. WebKitGTK knows no display mode, and its kiosk is told by its size.
    programOrStart() { pixelsAre "$1" 00FF00 50,30 || startShown "$1"; }
    shootUntil first 30 programOrStart first || die "the page showed neither the program nor its start screen"
    if startShown first; then
        check "$engine's kiosk, which the page cannot tell, shows the start screen" [ "$engine" = firefox ]
        xdotool key a
    else
        check "$engine's kiosk has no start screen" [ "$engine" != firefox ]
    fi
fi
# A browser's note on entering full screen covers the top of the page for some seconds: the checks
# below start once it has gone.
noteGone() { pixelsAre "$1" 0000FF 370,30 719,30 370,65 719,65 && pixelsAre "$1" 000000 300,70 700,70 512,90; }
shootUntil idle 30 pixelsAre idle 00FF00 50,30 && shootUntil idle 15 noteGone idle ||
    die "the page did not show the program, clear of the browser's notes, within 45 s"

# viewportIn SHOT sets viewX, viewY, viewW and viewH, the page's viewport on the screen: the OK
# button's lime frame, topmost and leftmost of the program's, stands at 50,30 of the page; the
# progress bar spans the viewport's width along its bottom edge, and ends in a white line.
viewportIn() {
    local lime bottom right
    lime=$(convert "$work/$1.ppm" -fill black +opaque lime txt:- | awk -F'[,:]' '/#00FF00/ {print $1, $2; exit}')
    viewX=$((${lime% *} - 50)) viewY=$((${lime#* } - 30))
    bottom=$(convert "$work/$1.ppm" -crop "1x${screenH}+$((viewX + 512))+0" +repage -fill black +opaque white \
        txt:- | awk -F'[,:]' '/#FFFFFF/ {y = $2} END {print y + 0}')
    right=$(convert "$work/$1.ppm" -crop "${screenW}x1+0+${bottom}" +repage -fill black +opaque white \
        txt:- | awk -F'[,:]' '/#FFFFFF/ {x = $1} END {print x + 0}')
    viewW=$((right + 1 - viewX)) viewH=$((bottom + 1 - viewY))
}
viewportIn idle
placesFor "$viewW" "$viewH"
echo "kiosk: the page's viewport is ${viewW}x${viewH}"
if [[ $mode == window ]]; then
    check "the key took the page to full screen (${viewW}x${viewH})" [ $viewW = $screenW -a $viewH = $screenH ]
else
    check "the page covers the screen but for the browser's own edge (${viewW}x${viewH})" \
        [ $((screenW - viewW)) -le 2 -a $((screenH - viewH)) -le 2 ]
fi

checkIdleScreen idle
windowsBefore=$(windows)

# --- a practice drill (the home row, selected at start) -------------------------------------
# The yen key (keycode 132) and the ro key (97) of the JIS keyboard both type "\". Chromium's
# kiosk drill goes round the targets; elsewhere one hit shows that the keys arrive. In a window
# the kiosk's run of the same engine has the drill's keys: one miss shows they reach the page.
if [[ $mode == window ]]; then
    checkDrillStarts
    # w, so that the q after the first chord changes the screen.
    press w
    check "a key outside the set is shown as a miss" [ "$verdict" = wrong ]
else
    checkDrillRuns 132 97 "$([[ $engine == chromium ]] && echo 3 || echo 1)"
fi
check "F1 stays with the page: no help tab or window ($(windows) windows)" [ "$(windows)" = "$windowsBefore" ]
# A kiosk covers the screen already: the page asks for no full screen, whose note would show here.
check "no note of the browser's on leaving full screen" pixelsAre prepared 000000 300,70 700,70 512,90
# The cat paw stands right of the last miss's character, which is centred and less than 100 pixels
# wide: colours that are neither black nor olive (the character's smoothed edges are both).
strip="$((viewW / 2 - 50))x$((barTop - missTop - 2))+$((viewW / 2 + 50))+$missTop"
pawInk=$(convert "$work/key.ppm" -crop "$strip" +repage -fill black -opaque '#808000' -fill white +opaque black \
    -format '%[fx:round(mean*w*h)]' info:)
check "the miss is shown with the cat paw ($pawInk pixels beside the character)" [ "$pawInk" -gt 100 ]
# The chord would leave a kiosk's page; the page keeps it. The key after it shows once the browser
# has handled both, and the browser must still be there a while later. Each chord is followed by
# another miss, so that the screen changes after every one.
missAfter=(q w)
chord=0
for leaveChord in $leaveChords; do
    press "$leaveChord" "${missAfter[chord++ % 2]}"
    check "$leaveChord stays with the page: the next key is judged after it" [ "$verdict" = wrong ]
    check "$leaveChord stays with the page: the browser runs on for 2 s" eval '! waitUntil 2 eval "! browserAlive"'
    shoot afterChord
    check "$leaveChord stays with the page: the drill is still shown" pixelsAre afterChord FF00FF "$boxLeft,$boxTop"
    check "$leaveChord stays with the page: no other tab or window ($(windows) windows)" [ "$(windows)" = "$windowsBefore" ]
done

checkDrillEnds
# The weak-key and strong-key panels (150x125) 100 pixels either side of the centre: the corners of
# their frames, whose colours flash, drawn, and the black a pixel further out.
panelsAt() { # panelsAt SHOT WIDTH [LEFT TOP]: the panels placed for a viewport WIDTH wide at LEFT, TOP
    local x0=${3:-0} y=$((${4:-0} + 350)) x
    for x in $((x0 + ($2 - 150) / 2 - 100)) $((x0 + ($2 - 150) / 2 + 100)); do
        [ "$(pixel "$1" "$x" "$y")" != 000000 -a "$(pixel "$1" $((x + 149)) $((y + 124)))" != 000000 ] &&
            pixelsAre "$1" 000000 "$((x - 1)),$((y - 1))" "$((x + 150)),$((y + 125))" || return 1
    done
}
check "the weak-key and strong-key panels stand at their places" panelsAt results "$viewW"
if [[ $mode == window ]]; then
    # F11 is the browser's: it leaves full screen for the window, and takes the window to full
    # screen again, where the panels must be placed for the whole screen once more.
    # The window shrinks first and the page follows: the screen is read until the page has.
    placedInWindow() { viewportIn "$1" && ((viewW < screenW)) && panelsAt "$1" "$viewW" "$viewX" "$viewY"; }
    xdotool key F11
    shootUntil windowed 10 placedInWindow windowed
    viewportIn windowed
    check "F11 leaves full screen for the window (${viewW}x${viewH} at $viewX,$viewY)" [ "$viewW" -lt $screenW ]
    check "the panels placed for the window" panelsAt windowed "$viewW" "$viewX" "$viewY"
    viewW=$screenW
    xdotool key F11
    shootUntil refilled 10 panelsAt refilled "$viewW"
    check "F11 again: the panels stand where they stood on the whole screen" panelsAt refilled "$viewW"
    # The keyboard picture, the About box and the exit are the same as in the kiosk: its run has them.
    finish
fi

# --- the keyboard picture and back ----------------------------------------------------------
xdotool key Down Down Down Down F1
checkShown keyboard "the last mode and F1 show the keyboard picture centred in its white frame" pixelsAre keyboard \
    FFFFFF "$kpLeft,$kpTop" "$((kpLeft + 799)),$((kpTop + 329))"
xdotool mousemove $((kpLeft + 2 + 200 + 49)) $((kpTop + 2 + 272 + 19)) click 1
shootUntil back 3 pixelsAre back 000000 "$kpLeft,$kpTop"
check "the back button leaves the picture for the mode selector" [ "$(pixel back 50 200)" != 000000 ]

# --- the About box --------------------------------------------------------------------------
# faceIs SHOT COLOUR LEFT TOP: the face of the box at LEFT, TOP shows left and right of its OK
# button, below the sunken panel.
faceIs() { pixelsAre "$1" "$2" "$(($3 + 3 + 20)),$(($4 + 21 + 180))" "$(($3 + 3 + 250)),$(($4 + 21 + 180))"; }
xdotool mousemove 640 48 click 1
checkShown about "the info button opens the About box centred" faceIs about D4D0C8 $aboutLeft $aboutTop
check "its caption bar is drawn active" [ "$(pixel about $((aboutLeft + 10)) $((aboutTop + 10)))" != D4D0C8 ]
# Dragged by its caption bar 100 pixels left and 50 up.
xdotool mousemove $((aboutLeft + 60)) $((aboutTop + 10)) mousedown 1 mousemove $((aboutLeft + 10)) $((aboutTop - 15)) \
    mousemove $((aboutLeft - 40)) $((aboutTop - 40)) mouseup 1
aboutLeft=$((aboutLeft - 100)) aboutTop=$((aboutTop - 50))
checkShown dragged "the caption bar drags the box" faceIs dragged D4D0C8 $aboutLeft $aboutTop
xdotool mousemove 900 700 click 1
checkShown behind "a click on the main surface puts the box behind it" faceIs behind 000000 $aboutLeft $aboutTop
# The page has no taskbar: an info button is the way back, to where the box was left.
xdotool mousemove 640 48 click 1
checkShown front "an info button brings the covered box back in front where it was left" \
    faceIs front D4D0C8 $aboutLeft $aboutTop

# --- exit -----------------------------------------------------------------------------------
xdotool mousemove 250 48 click 1
checkShown ended "the exit button ends the program: its frames are gone" pixelsAre ended 000000 50,30 200,30 370,30
check "the page says the program has ended" [ "$(count ended "${screenW}x200+0+$((screenH / 2 - 100))" white)" -gt 100 ]
check "the browser stays, on the page" browserAlive

finish
