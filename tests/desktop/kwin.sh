#!/usr/bin/env bash
# The program on KDE Plasma's compositor: a headless KWin of its own (one virtual 1024x768 output),
# with the program a native Wayland client, or an X client of KWin's Xwayland. Keys and clicks
# come from KWin's fake input, pictures from its ScreenShot2 interface, and KWin's own view of the
# windows (places, stacking, what its caption bar offers) from a KWin script. KWin runs as nobody
# with a private HOME and session bus, as in a user's session.
#
#   kwin.sh native|xwayland PATH/TO/tapirun PATH/TO/wayland-pointer PATH/TO/kwin-screenshot
#
# Debian's kwin_wayland carries a file capability these machines refuse to grant; a copy of the
# binary has none and runs. KWin lets a client use fake input only with its permission checks off,
# and gives pictures only to a program whose desktop entry grants it ScreenShot2.
set -uo pipefail

usage="usage: kwin.sh native|xwayland PATH/TO/tapirun PATH/TO/wayland-pointer PATH/TO/kwin-screenshot"
mode=${1:?$usage}
app=${2:?$usage}
pointerTool=${3:?$usage}
screenshotTool=${4:?$usage}
[[ $mode == native || $mode == xwayland ]] || { echo "$usage" >&2; exit 2; }
name=kwin-$mode
source "$(dirname "$0")/../lib/lib.sh"
needRoot
need kwin_wayland dbus-daemon dbus-send setpriv jq convert mkfifo
[[ $mode == xwayland ]] && need Xwayland xdotool

readonly outputW=1024 outputH=768 screenW=1024 screenH=768

userHome
mkdir -p "$home/.local/share/applications"
cp "$app" "$home/tapirun" && cp "$pointerTool" "$home/wayland-pointer" &&
    cp "$screenshotTool" "$home/kwin-screenshot" && cp "$(command -v kwin_wayland)" "$home/kwin_wayland" ||
    fail "cannot copy the programs"
cat >"$home/.local/share/applications/tapirun-test-screenshot.desktop" <<EOF
[Desktop Entry]
Type=Application
Name=Desktop test pictures
Exec=$home/kwin-screenshot
NoDisplay=true
X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2
EOF
handUserHome
bus=unix:path=$runtime/bus


# --- the compositor ---------------------------------------------------------------------------
unset DISPLAY WAYLAND_DISPLAY
(asUser dbus-daemon --session --nofork --nopidfile --address="$bus") >"$work/dbus.log" 2>&1 &
started+=($!)
waitUntil 5 test -S "$runtime/bus" || fail "the session bus did not start"
kwinOptions=(--virtual --width "$outputW" --height "$outputH" --no-lockscreen --no-global-shortcuts --socket wayland-test)
# KWin passes the display of its Xwayland on to the programs it starts.
printf '#!/bin/sh\necho "$DISPLAY" >%s/display\nexec sleep 600\n' "$home" >"$home/tell-display"
chmod 755 "$home/tell-display" && chown "$user" "$home/tell-display"
[[ $mode == xwayland ]] && kwinOptions+=(--xwayland "$home/tell-display")
(asUser KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 QT_LOGGING_RULES=kwin_scripting=true "$home/kwin_wayland" \
    "${kwinOptions[@]}") >"$work/kwin.log" 2>&1 &
started+=($!)
waitUntil 15 test -S "$runtime/wayland-test" || { tail -5 "$work/kwin.log" >&2; fail "KWin did not start"; }
export WAYLAND_DISPLAY=wayland-test
if [[ $mode == xwayland ]]; then
    waitUntil 15 test -s "$home/display" || { tail -5 "$work/kwin.log" >&2; fail "KWin started no Xwayland"; }
    DISPLAY=$(cat "$home/display")
fi

shotDir=$shots
shoot() { (asUser "$home/kwin-screenshot" "$outputW" "$outputH" "$shots/$1.ppm") 2>>"$work/shots.log" || fail "no picture from KWin"; }
# windows: one line of JSON per window, bottom of the stacking order first, from KWin itself.
cat >"$home/windows.js" <<'EOF'
const all = workspace.clientList();
const tag = "TAPIRUN-" + readConfig("run", "");
for (let i = 0; i < all.length; i++) {
    const w = all[i], f = w.frameGeometry;
    print(tag + " " + JSON.stringify({caption: w.caption, stack: w.stackingOrder, x: f.x, y: f.y, width: f.width,
        height: f.height, fullScreen: w.fullScreen, active: w.active, minimized: w.minimized,
        minimizable: w.minimizable, maximizable: w.maximizable, closeable: w.closeable, transient: w.transient}));
}
print(tag + " end");
EOF
chown "$user" "$home/windows.js"
# kwinScript NAME: the KWin script on standard input, loaded and run as the user; prints its id.
kwinScript() {
    local id
    cat >"$home/$1.js" && chown "$user" "$home/$1.js"
    id=$( (asUser dbus-send --session --print-reply=literal --dest=org.kde.KWin /Scripting \
        org.kde.kwin.Scripting.loadScript string:"$home/$1.js" string:"$1") 2>&1)
    id=${id##* }
    (asUser dbus-send --session --print-reply --dest=org.kde.KWin "/$id" org.kde.kwin.Script.run) >/dev/null 2>&1
    echo "$id"
}
# Each run is a script of its own name (KWin loads a name once), tagged in the log by that name;
# the callers run in subshells, so the name comes from the clock.
windows() {
    local id run tag
    run=$(date +%s%N)
    id=$(sed "s/readConfig(\"run\", \"\")/\"$run\"/" "$home/windows.js" | kwinScript "windows-$run")
    tag="TAPIRUN-$run"
    waitUntil 3 grep -aq "$tag end" "$work/kwin.log" || fail "the KWin script did not run"
    (asUser dbus-send --session --print-reply --dest=org.kde.KWin "/$id" org.kde.kwin.Script.stop) >/dev/null 2>&1
    grep -a "$tag {" "$work/kwin.log" | sed "s/.*$tag //" | jq -sc 'sort_by(.stack) | .[]'
}

# --- input: KWin's fake input, made before the program starts --------------------------------------
mkfifo "$work/pointer.in" && chmod 644 "$work/pointer.in" && chown "$user" "$work/pointer.in"
(asUser "$home/wayland-pointer" "$outputW" "$outputH" <"$work/pointer.in" >"$work/pointer.out" 2>&1) &
started+=($!)
exec 7>"$work/pointer.in"
waitUntil 5 grep -q ^ok "$work/pointer.out" || { cat "$work/pointer.out" >&2; fail "no fake input from KWin"; }
# tell COMMAND...: one command to the fake input, answered once KWin has taken it.
tell() {
    local want
    want=$(($(grep -c ^ok "$work/pointer.out") + $#))
    printf '%s\n' "$@" >&7
    waitUntil 5 eval '(($(grep -c ^ok "$work/pointer.out") >= want))' ||
        { cat "$work/pointer.out" >&2; fail "the fake input did not answer"; }
}
# click X Y: a left click there, then the pointer out of the way, over the main window.
click() { tell "move $1 $2" click "move $((outputW - 1)) $((outputH / 2))"; }
# Keys by their evdev codes, on KWin's default US layout.
declare -A codes=([F1]=59 [space]=57 [a]=30 [s]=31 [d]=32 [f]=33 [g]=34 [h]=35 [j]=36 [k]=37 [l]=38
    [';']=39 [':']="42 39" [']']=27 [q]=16)
sendKey() { tell "key ${codes[$1]}"; }

# Controls: KWin answers its script, and gives a picture of the output's size.
shoot empty
check "KWin gives a ${outputW}x${outputH} picture" \
    [ "$(convert "$shots/empty.ppm" -format %wx%h info:)" = "${outputW}x${outputH}" ]

# --- start-up: full screen and active -----------------------------------------------------------
# A Plasma session names its desktop; the program keeps the About box an ordinary window there.
if [[ $mode == native ]]; then
    (asUser XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland "$home/tapirun") >"$work/app.log" 2>&1 &
else
    (asUser XDG_CURRENT_DESKTOP=KDE QT_QPA_PLATFORM=xcb "$home/tapirun") >"$work/app.log" 2>&1 &
fi
appPid=$!
started+=("$appPid")
waitUntil 10 mainUp || { cat "$work/app.log" >&2; fail "no Tapirun window on KWin"; }
if [[ $mode == native ]]; then
    check "the window is a native Wayland one (there is no X server)" [ -z "${DISPLAY:-}" ]
else
    check "the window is an X one, of Xwayland" eval '(asUser xdotool search --class "^tapirun$") >/dev/null'
fi
check "the window is full screen and active" waitUntil 3 eval 'mainUp && [[ $(jq "[.fullScreen, .active]|all" <<<"$main") == true ]]'
check "the window covers the output" \
    eval '[[ $(jq -r "\"\(.width)x\(.height)+\(.x)+\(.y)\"" <<<"$main") == ${outputW}x${outputH}+0+0 ]]'
check "the idle screen is drawn (the OK button's lime frame)" waitUntil 10 idle

# --- a practice drill, from F1 to the results ----------------------------------------------------
checkDrillToResults "$outputW" "$outputH" a s d f g h j k l ';' ':' ']'

# --- the About box and the exit -------------------------------------------------------------------
# A Wayland client cannot place its window; KWin centres it and each new one again. KWin offers to
# minimise it all the same, on X too, where the box asks for no minimise button: no hint the
# program can give turns it off.
source "$(dirname "$0")/about-box.sh"
onTop=covered minimise=allowed closer=ok drags=yes
[[ $mode == native ]] && placedBy=compositor reopens=centred || placedBy=program reopens=dragged
useWindowList
# A script does what the caption bar, a shortcut or the window switcher would.
minimiseBox() {
    kwinScript minimise >/dev/null <<'EOF'
const all = workspace.clientList();
for (let i = 0; i < all.length; i++)
    if (all[i].caption == "バージョン情報") all[i].minimized = true;
EOF
}
restoreBox() {
    kwinScript restore >/dev/null <<'EOF'
const all = workspace.clientList();
for (let i = 0; i < all.length; i++)
    if (all[i].caption == "バージョン情報") { all[i].minimized = false; workspace.activeClient = all[i]; }
EOF
}
dragBox() { tell "move $1 $2" press "move $((($1 + $3) / 2)) $((($2 + $4) / 2))" "move $3 $4" release; }
boxOpened() {
    check "KWin offers to close it, not to maximise it" eval '[[ $(jq "[.closeable, (.maximizable | not)] | all" <<<"$box") == true ]]'
    check "the box is not a child of the main window" eval '[[ $(jq .transient <<<"$box") == false ]]'
}
aboutBoxAndExit
finish
