# The About box and the exit, as a person meets them on any desktop: sourced by each desktop's
# test after lib.sh, which then calls aboutBoxAndExit. What differs from one desktop to the next is
# the table below, which the test sets, and its driver, which the test defines.
#
# The table, one line per desktop:
#
#   desktop          placedBy    onTop     minimise  reopens  closer       drags
#   mutter, X        program     covered   refused   dragged  closebox 19  yes
#   kwin_x11         program     covered   allowed   dragged  closebox 19  yes
#   xfwm4 (Xfce)     program     covered   allowed   dragged  closebox 16  yes
#   KWin, Xwayland   program     covered   allowed   dragged  ok           yes
#   KWin, Wayland    compositor  covered   allowed   centred  ok           yes
#   GNOME Shell      anywhere    covered   allowed   -        ok           no
#   sway             compositor  floating  none      centred  ok           yes
#
#   placedBy  who centres the box: the program, by its outer size (within centreSlack, the square
#             of the distance); the compositor, halves rounded either way (a Wayland client cannot
#             place itself); or the shell, anywhere wholly on the screen.
#   onTop     covered: a click on the main window puts the box behind it; floating: the box stays
#             over its parent, the main window.
#   minimise  whether the window manager minimises the box when asked (xfwm4 does, though it
#             offers no minimise); either way an info button does not bring it back.
#   reopens   where the box opens again once dragged and closed: where it was dragged (the
#             program keeps its place), or centred again (the compositor places every new window).
#   closer    what closes it: the caption bar's close box, that many pixels left of the client's
#             right edge; or the box's own OK button.
#
# The driver: click X Y; boxGeometry, which sets bx by bw bh (the box's frame as the desktop
# reports it), cx cy (its client area's corner) and gx gy (a point of its caption bar to drag by),
# and fails while the box is not shown; boxActive, mainActive and mainAbove (over the box); shoot
# NAME; minimiseBox, boxMinimised and restoreBox (as the window switcher would) where the box can
# be minimised; dragBox FROMX FROMY TOX TOY. useXDriver defines them on an X window manager,
# useWindowList the look-ups where the compositor lists its windows. Hooks the test may define:
# boxOpened (its own checks of the first opening) and boxDragged.
#
# The places below are the design's (the info button at 450,48, the exit button at 250,48, the
# box's client area 273x195 with its OK button's centre at 136,176), at the program's scale.
scale=${scale:-1}
centreSlack=${centreSlack:-0}
boxUp() { boxGeometry && boxActive; }
boxShown() { boxGeometry; }
placeIs() { boxGeometry && [[ "$bx $by" == "$1 $2" ]]; }
# The box's part of a picture, to tell whether it is seen.
boxArea() { convert "$shotDir/$1.ppm" -crop "${bw}x${bh}+$bx+$by" +repage -format '%#' info:; }
clickInfo() { click $((450 * scale)) $((48 * scale)); }
# A point of the main window away from the box and from its controls, in the screen's pixels.
clickMain() { click 1000 300; }
# boxDrawnIn SHOT: the box's face shows at the top of its client area.
boxDrawnIn() { shoot "$1" && [[ $(pixel "$1" $((cx + 136 * scale)) $((cy + 5))) != 000000 ]]; }
# The exit button, with the main window active, ends the program.
exitFromMain() {
    clickMain
    click $((250 * scale)) $((48 * scale))
    ${exitCheck:-checkCleanExit}
}

placedAsTheTableSays() {
    local dx=$((2 * bx + bw - screenW)) dy=$((2 * by + bh - screenH))
    local ox=$((bx - (screenW - bw) / 2)) oy=$((by - (screenH - bh) / 2))
    case $placedBy in
    program) ((ox * ox + oy * oy <= centreSlack)) ;;
    compositor) ((dx * dx <= 1 && dy * dy <= 1)) ;;
    anywhere) ((bx >= 0 && by >= 0 && bx + bw <= screenW && by + bh <= screenH)) ;;
    esac
}

aboutBoxAndExit() {
    clickInfo
    check "the info button opens the About box, active" waitUntil 5 boxUp
    echo "     box ${bw}x${bh}+$bx+$by, client at $cx,$cy"
    # The control: the box has a caption bar, so that its outer size is not its client size.
    check "the box has a caption bar above its client area" eval '((cy - gy >= 5))'
    check "the box is centred as the $placedBy places it" waitUntil 3 eval 'boxUp && placedAsTheTableSays'
    check "the box is drawn on the screen" waitUntil 3 boxDrawnIn box
    declare -F boxOpened >/dev/null && boxOpened
    local x=$bx y=$by
    check "the box stays where it was placed" holds 1 placeIs "$x" "$y"
    if [[ ${only:-} == opening ]]; then
        exitFromMain
        return
    fi

    clickMain
    if [[ $onTop == covered ]]; then
        check "a click on the main window puts the box behind it" waitUntil 3 eval 'mainActive && mainAbove'
        check "the box is no longer seen on the screen" eval 'shoot behind; [[ $(boxArea behind) != $(boxArea box) ]]'
        # An info button on the shown box changes nothing, covered or minimised: the window
        # switcher reaches it. A second is given for anything the program might do.
        clickInfo
        check "an info button leaves the covered box behind the main window, where it was" \
            holds 1 eval 'mainActive && mainAbove && placeIs "$x" "$y"'
    else
        check "a click on the main window makes it active" waitUntil 3 mainActive
        check "the box stays over the main window" boxDrawnIn over
    fi
    case $minimise in
    allowed)
        minimiseBox
        check "the box is minimised when the window manager is told to" waitUntil 3 boxMinimised
        clickInfo
        check "an info button leaves a minimised box minimised" holds 1 boxMinimised
        ;;
    refused)
        minimiseBox
        check "the window manager leaves the box shown when asked to minimise it" holds 1 boxShown
        clickInfo
        check "then an info button still leaves the main window in front" holds 1 eval 'mainActive && mainAbove'
        ;;
    esac
    if [[ $minimise != none ]]; then
        restoreBox
        check "the window switcher's way brings the box back, active" waitUntil 3 boxUp
    fi

    if [[ $drags == yes ]]; then
        # To the lower left, clear of the target frame and the screen's edges.
        local toX=60 toY=$((screenH - 80 - bh))
        dragBox "$gx" "$gy" $((gx + toX - bx)) $((gy + toY - by))
        check "the box follows a drag of its caption bar to $toX,$toY" waitUntil 3 placeIs "$toX" "$toY"
        declare -F boxDragged >/dev/null && boxDragged
        boxUp
    fi
    if [[ $closer == ok ]]; then
        click $((cx + 136 * scale)) $((cy + 176 * scale))
        check "OK closes the box" waitUntil 3 eval '! boxShown'
    else
        click $((cx + 273 * scale - ${closer#closebox })) $((by + (cy - by) / 2))
        check "the close box hides the box" waitUntil 3 eval '! boxShown'
    fi
    check "the main window is active once the box is closed" waitUntil 3 mainActive
    clickInfo
    check "the info button opens the box again" waitUntil 5 boxUp
    case $reopens in
    dragged) check "the box opens again where it was dragged, and stays" holds 1 placeIs "$toX" "$toY" ;;
    centred) check "the box opens centred again, not where it was dragged" placeIs "$x" "$y" ;;
    esac
    exitFromMain
}

# The driver on an X window manager: xdotool, and the window manager's properties. The box is the
# program's visible window other than main, once it is framed.
useXDriver() {
    click() { xdotool mousemove "$1" "$2" click 1; }
    boxGeometry() {
        local fl fr ft fb w h found
        # The last box found is kept while none is shown, for the requests that bring it back.
        found=$(xdotool search --onlyvisible --class '^tapirun$' 2>/dev/null | grep -vx "$main" | head -1)
        [[ -n $found && -n $(extentsOf "$found") ]] || return 1
        box=$found
        read -r fl fr ft fb <<<"$(extentsOf "$box")"
        read -r cx cy w h <<<"$(geometryOf "$box")"
        bx=$((cx - fl)) by=$((cy - ft)) bw=$((w + fl + fr)) bh=$((h + ft + fb)) gx=$((cx + w / 2)) gy=$((cy - ft / 2))
    }
    boxActive() { [[ $(activeWindow) == "$box" ]]; }
    mainActive() { [[ $(activeWindow) == "$main" ]]; }
    mainAbove() { isAbove "$main" "$box"; }
    # The request is handled before the clicks that follow it.
    minimiseBox() { xdotool windowminimize "$box"; }
    boxMinimised() { xprop -id "$box" WM_STATE | grep -q 'window state: Iconic'; }
    restoreBox() { xdotool windowactivate "$box"; }
    dragBox() {
        xdotool mousemove "$1" "$2" mousedown 1 mousemove $((($1 + $3) / 2)) $((($2 + $4) / 2)) \
            sleep 0.05 mousemove "$3" "$4" sleep 0.05 mouseup 1
    }
}

# The driver's look-ups where the compositor lists its windows (window CAPTION, in lib.sh): the
# box's frame as it reports it, and its client area at the bottom, less the frame's border.
useWindowList() {
    boxGeometry() {
        local border
        box=$(window 'バージョン情報') && [[ -n $box && $(jq .minimized <<<"$box") == false ]] || return 1
        read -r bx by bw bh <<<"$(jq -r '"\(.x) \(.y) \(.width) \(.height)"' <<<"$box")"
        border=$(((bw - 273) / 2))
        cx=$((bx + border)) cy=$((by + bh - border - 195)) gx=$((bx + bw / 2)) gy=$((by + 10))
    }
    boxActive() { [[ $(jq .active <<<"$box") == true ]]; }
    mainActive() { main=$(window Tapirun) && [[ $(jq .active <<<"$main") == true ]]; }
    mainAbove() { (($(jq .stack <<<"$main") > $(jq .stack <<<"$(window 'バージョン情報')"))); }
    boxMinimised() { [[ $(window 'バージョン情報' | jq .minimized) == true ]]; }
}
