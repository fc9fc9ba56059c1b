#!/usr/bin/env bash
# The program on the Xfce desktop: its own Xvfb with the xfwm4 window manager and the xfce4-panel
# top panel and dock, driven with xdotool and checked through the window manager's properties and
# the screen.
#
#   xfce.sh PATH/TO/tapirun
#
# xfwm4 keeps panels and transient windows as GNOME's and KDE's window managers do: a full-screen
# window is put above the panels only while it is active, and a window transient for another is
# kept above it. Unlike those it runs on a bare X server without a session, a compositor or GL.
set -uo pipefail

name=xfce
app=${1:?usage: xfce.sh PATH/TO/tapirun}
source "$(dirname "$0")/../lib/lib.sh"
need dbus-daemon xfwm4 xfce4-panel xdotool xprop xwininfo import convert

readonly screenSize=1280x1024 screenW=1280 screenH=1024
# Where the window's table puts the target frame: 140x140, centred on the screen.
readonly boxLeft=$(((screenW - 140) / 2)) boxTop=$(((screenH - 140) / 2))

mkdir -m 700 "$work/runtime" "$work/home"
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/home/.config
export XDG_CACHE_HOME=$work/home/.cache XDG_DATA_HOME=$work/home/.local/share
export NO_AT_BRIDGE=1 # no accessibility bus is started for the panel
unset SESSION_MANAGER QT_IM_MODULE XMODIFIERS GTK_IM_MODULE

# --- the desktop ------------------------------------------------------------------------------
startXvfb
startXfwm4

xfce4-panel >"$work/panel.log" 2>&1 &
started+=($!)
# panels: every panel window on the screen, as WxH+X+Y: the top panel and the dock. The top panel
# is the first, being the widest.
panels=()
listPanels() {
    local id geometry
    panels=()
    for id in $(xdotool search --onlyvisible --class '^xfce4-panel$' 2>/dev/null); do
        geometry=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
                   /^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF} END {if (w > 20 && h > 20 && x >= 0 && y >= 0) print w "x" h "+" x "+" y}')
        [[ -n $geometry ]] && panels+=("$geometry")
    done
    mapfile -t panels < <(printf '%s\n' "${panels[@]}" | sort -t x -k1,1nr)
    ((${#panels[@]} >= 2))
}
waitUntil 15 listPanels || { cat "$work/panel.log" >&2; fail "xfce4-panel shows no top panel and dock"; }
# A panel's picture, less the rows the program's progress bar would cover along the bottom edge.
panelPart() {
    local w h x y
    IFS='x+' read -r w h x y <<<"$1"
    ((y + h > screenH - 17)) && h=$((screenH - 17 - y))
    echo "${w}x${h}+${x}+${y}"
}
panelsDrawn() {
    local p
    shoot "$1"
    for p in "${panels[@]}"; do ! blackIn "$work/$1.ppm" "$(panelPart "$p")" || return 1; done
}
panelsHidden() {
    local p
    shoot "$1"
    for p in "${panels[@]}"; do blackIn "$work/$1.ppm" "$(panelPart "$p")" || return 1; done
}
# The panel is drawn before the program starts, so that a black panel later means a hidden one.
waitUntil 10 panelsDrawn before || fail "the panels are not drawn: ${panels[*]}"
ok "xfwm4 and xfce4-panel on $DISPLAY, panels at ${panels[*]}"

# --- start-up: full screen over the panels, and active -------------------------------------------
env QT_QPA_PLATFORM=xcb "$app" >"$work/app.log" 2>&1 &
appPid=$!
started+=("$appPid")
checkFullScreenStart "$appPid" "$screenSize"
check "the panels are hidden under it" waitUntil 5 panelsHidden running

# --- the About box and the exit -------------------------------------------------------------------
source "$(dirname "$0")/about-box.sh"
useXDriver
placedBy=program onTop=covered minimise=allowed reopens=dragged closer="closebox 16" drags=yes
exitCheck=checkExitedWithZero
boxOpened() {
    local actions hints
    check "the About box is in front of the main window" isAbove "$box" "$main"
    check "the About box is not transient for any window" eval '! xprop -id "$box" WM_TRANSIENT_FOR | grep -q "window id"'
    check "the About box is an ordinary window" eval 'xprop -id "$box" _NET_WM_WINDOW_TYPE | grep -qx ".*= _NET_WM_WINDOW_TYPE_NORMAL"'
    actions=$(xprop -id "$box" _NET_WM_ALLOWED_ACTIONS)
    check "the box can be closed and moved" eval '[[ $actions == *_NET_WM_ACTION_CLOSE* && $actions == *_NET_WM_ACTION_MOVE* ]]'
    check "the box cannot be minimised, maximised or resized" \
        eval '[[ $actions != *MINIMIZE* && $actions != *MAXIMIZE* && $actions != *RESIZE* ]]'
    hints=$(xprop -id "$box" WM_NORMAL_HINTS)
    check "the box's minimum and maximum size are its size" \
        eval '[[ $hints == *"minimum size: 273 by 195"* && $hints == *"maximum size: 273 by 195"* ]]'
}
boxDragged() { xdotool key F1 && check "F1 while the box is active prepares a drill in the main window" waitUntil 3 prepared; }
aboutBoxAndExit
finish
