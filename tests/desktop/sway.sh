#!/usr/bin/env bash
# The program as a native Wayland client: a headless sway of its own (pixman renderer, one
# 1024x768 output, no X at all), keys from wtype, clicks from a virtual pointer, pictures from
# grim. Sway refuses to run as root, so the compositor and every client run as nobody with a
# private HOME and runtime directory.
#
#   sway.sh PATH/TO/tapirun PATH/TO/wayland-pointer
#
# A headless seat has no keyboard: a key typed while no virtual keyboard exists is lost, and the
# first keyboard's arrival changes the seat under the program. One wtype that only waits is kept
# alive for the whole run, and the program starts after it.
set -uo pipefail

name=sway
usage="usage: sway.sh PATH/TO/tapirun PATH/TO/wayland-pointer"
app=${1:?$usage}
pointerTool=${2:?$usage}
source "$(dirname "$0")/../lib/lib.sh"
needRoot
need sway swaymsg wtype grim jq setpriv convert mkfifo

readonly outputW=1024 outputH=768 screenW=1024 screenH=768

userHome
cp "$app" "$home/tapirun" && cp "$pointerTool" "$home/wayland-pointer" || fail "cannot copy the programs"
cat >"$home/sway.conf" <<EOF
output HEADLESS-1 resolution ${outputW}x${outputH} position 0 0
xwayland disable
EOF
handUserHome

userEnv=(PATH="$PATH")

# --- the compositor ---------------------------------------------------------------------------
(asUser WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 sway -c "$home/sway.conf") \
    >"$work/sway.log" 2>&1 &
started+=($!)
compositorUp() {
    WAYLAND_DISPLAY=$(cd "$runtime" && ls wayland-? 2>/dev/null | head -1)
    SWAYSOCK=$(ls "$runtime"/sway-ipc.*.sock 2>/dev/null | head -1)
    [[ -n $WAYLAND_DISPLAY && -n $SWAYSOCK ]]
}
waitUntil 15 compositorUp || { tail -5 "$work/sway.log" >&2; fail "sway did not start"; }
export WAYLAND_DISPLAY SWAYSOCK
ask() { (asUser swaymsg "$@"); }
tree() { ask -t get_tree; }
# window TITLE -> its node of the layout tree, as compact JSON; nothing when it is not there
window() { tree | jq -c --arg t "$1" '.. | objects | select((.type == "con" or .type == "floating_con") and .name == $t)'; }
shotDir=$shots
shoot() { (asUser grim -t ppm "$shots/$1.ppm") 2>"$work/grim.log" || { cat "$work/grim.log" >&2; fail "grim failed"; }; }

# Controls: the output has the size asked for, and grim takes pictures of it.
outputSize=$(ask -t get_outputs | jq -r '.[0] | "\(.current_mode.width)x\(.current_mode.height)"')
check "sway runs headless with one ${outputSize} output" [ "$outputSize" = "${outputW}x${outputH}" ]
shoot empty
check "grim takes a ${outputSize} picture" [ "$(convert "$shots/empty.ppm" -format %wx%h info:)" = "$outputSize" ]

(asUser wtype -s 3600000 -k Shift_L) >"$work/wtype.log" 2>&1 &
started+=($!)
mkfifo "$work/pointer.in" && chmod 644 "$work/pointer.in" && chown "$user" "$work/pointer.in"
(asUser "$home/wayland-pointer" "$outputW" "$outputH" <"$work/pointer.in" >"$work/pointer.out" 2>&1) &
started+=($!)
exec 7>"$work/pointer.in"
seatHas() { (($(ask -t get_seats | jq '.[0].capabilities') & $1)); }
check "the seat has a keyboard (wtype) and a pointer" waitUntil 5 eval 'seatHas 1 && seatHas 2'
# click X Y: the pointer there and a left click; answered once the compositor has taken it.
click() {
    local before
    before=$(grep -c ^ok "$work/pointer.out")
    # Then out of the pictures' way: sway draws the pointer into them.
    printf 'move %d %d\nclick\nmove %d %d\n' "$1" "$2" $((outputW - 1)) $((outputH - 1)) >&7
    waitUntil 5 eval '(($(grep -c ^ok "$work/pointer.out") >= before + 3))' ||
        { cat "$work/pointer.out" >&2; fail "the pointer did not click"; }
}
key() { (asUser wtype "$@") || fail "wtype $* failed"; }

# --- start-up: natively on Wayland, full screen ------------------------------------------------
# No DISPLAY and no X server: the window can only be a Wayland one.
(asUser XDG_SESSION_TYPE=wayland "$home/tapirun") >"$work/app.log" 2>&1 &
appPid=$!
started+=("$appPid")
mainUp() { [[ -n $(window Tapirun) ]]; }
waitUntil 10 mainUp || { cat "$work/app.log" >&2; fail "no Tapirun window on the compositor"; }
main=$(window Tapirun)
check "the window is a native Wayland one (app_id $(jq -r .app_id <<<"$main"))" \
    eval '[[ $(jq -r .shell <<<"$main") == xdg_shell ]]'
check "the window is full screen" eval '[[ $(jq .fullscreen_mode <<<"$main") == 1 ]]'
check "the window covers the output" \
    eval '[[ $(jq -r ".rect | \"\(.width)x\(.height)+\(.x)+\(.y)\"" <<<"$main") == ${outputSize}+0+0 ]]'
check "the idle screen is drawn (the OK button's lime frame)" waitUntil 10 idle

# --- a practice drill, from F1 to the results ----------------------------------------------------
# The target frame is centred from the output's size.
drillPlaces "$outputW" "$outputH"
key -k F1
check "F1 shows the target frame centred on the output at $boxLeft,$boxTop" waitUntil 3 prepared
check "its far corner is at $((boxLeft + 139)),$((boxTop + 139))" \
    eval '[[ $(pixel "$shots/prepared.ppm" $((boxLeft + 139)) $((boxTop + 139))) == FF00FF ]]'
sendKey() { key "$@"; }
key -k space
check "Space shows a target character" waitUntil 3 targetShown running
homeRowDrill 1 a s d f g h j k l ';' ':' ']'
check "home-row keys typed with wtype are judged on the screen ($correct hit, $unclear unclear)" \
    eval '((correct >= 1 && unclear == 0))'
press q
check "a key outside the set shows as a miss below the target" [ "$verdict" = wrong ]
key -k space
check "Space ends the drill: the counts frame in yellow at 50,350" waitUntil 3 results
check "the target box is gone" eval '[[ $(pixel "$shots/results.ppm" "$boxLeft" "$boxTop") == 000000 ]]'

# --- the About box and the exit -------------------------------------------------------------------
# A Wayland client cannot place its own window. Sway floats the fixed-size box, centres its
# bordered window on the output with the title bar above (not counted), keeps it over its parent,
# the main window, and centres each new one again.
source "$(dirname "$0")/about-box.sh"
placedBy=compositor onTop=floating minimise=none reopens=centred closer=ok drags=yes
exitCheck=checkExitedWithZero
# Sway lays a new floating window out over a few steps; the last one puts the title bar above it.
boxGeometry() {
    box=$(window 'バージョン情報') && [[ -n $box ]] &&
        [[ $(jq '.deco_rect.height > 0 and .rect.y == .deco_rect.y + .deco_rect.height' <<<"$box") == true ]] || return 1
    read -r bx by bw bh cx cy gx gy <<<"$(jq -r '"\(.rect.x) \(.rect.y) \(.rect.width) \(.rect.height)
        \(.rect.x + .window_rect.x) \(.rect.y + .window_rect.y) \(.rect.x + .rect.width / 2 | floor)
        \(.deco_rect.y + 12)"' <<<"$box" | tr '\n' ' ')"
}
# Sway keeps the focus on the full-screen main window when the box opens, and gives it to the box
# once it is dragged.
boxActive() { true; }
mainActive() { [[ $(window Tapirun | jq .focused) == true ]]; }
dragBox() { printf 'move %d %d\npress\nmove %d %d\nmove %d %d\nrelease\n' "$1" "$2" $((($1 + $3) / 2)) $((($2 + $4) / 2)) "$3" "$4" >&7; }
boxOpened() {
    check "sway floats the box" eval '[[ $(jq -r .type <<<"$box") == floating_con ]]'
    check "the box keeps its fixed client size" eval '[[ $(jq -r ".window_rect | \"\(.width)x\(.height)\"" <<<"$box") == 273x195 ]]'
    check "the main window stays full screen" eval '[[ $(window Tapirun | jq .fullscreen_mode) == 1 ]]'
}
aboutBoxAndExit
exec 7>&-
finish
