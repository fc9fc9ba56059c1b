# Sourced by the end-to-end tests that judge the program from screenshots of an X server's root
# window. The caller sets work (a folder for the pictures) and die; drillState also wants boxLeft,
# boxTop, screenW, barTop and missTop, the places the window's table gives on that screen.

check() { # check DESCRIPTION COMMAND...: a failed check is reported and the run goes on
    if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1" >&2; failures=$((failures + 1)); fi
}
shoot() { import -window root -depth 8 "$work/$1.ppm" 2>/dev/null || die "screenshot $1 failed"; }
# pixel SHOT X Y -> RRGGBB
pixel() { convert "$work/$1.ppm" -format "%[hex:p{$2,$3}]" info:; }
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
    while :; do
        shoot "$name"
        "$@" 2>/dev/null && return 0
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}
# drillState SHOT -> "BOXSIG BOXWHITE MISSSIG MISSOLIVE": a signature and the count of white
# (target) pixels inside the target frame, and the same for the strip below it where a wrong
# character shows in olive, stopping short of the progress bar.
drillState() {
    local inner="138x138+$((boxLeft + 1))+$((boxTop + 1))" strip="${screenW}x$((barTop - missTop - 1))+0+$missTop"
    convert "$work/$1.ppm" \
        \( +clone -crop "$inner" +repage -format '%# ' -write info:- +delete \) \
        \( +clone -crop "$inner" +repage -fill black +opaque white -format '%[fx:round(mean*w*h)] ' -write info:- +delete \) \
        \( +clone -crop "$strip" +repage -format '%# ' -write info:- +delete \) \
        -crop "$strip" +repage -fill black +opaque '#808000' -fill white -opaque '#808000' \
        -format '%[fx:round(mean*w*h)]\n' info:-
}

targetShown() { ((${1:-0} > 100)); } # white pixels of a drawn character
targetShownIn() {
    local white
    read -r _ white _ _ <<<"$(drillState "$1")"
    targetShown "$white"
}

# press KEY sets verdict to "correct" or "wrong", judged from the screen: a correct key draws a new target
# (targets never repeat) and clears the wrong character; a wrong key leaves the target and shows
# the typed character in olive. The screen is polled until either part changes. boxSig and missSig
# hold the picture before the key.
press() {
    local key=$1 sig white2 miss olive2 deadline=$((SECONDS + 3))
    xdotool key "$key"
    while :; do
        shoot key
        read -r sig white2 miss olive2 <<<"$(drillState key)"
        [[ $sig != "$boxSig" || $miss != "$missSig" ]] && break
        ((SECONDS < deadline)) || break
    done
    if [[ $sig != "$boxSig" && $olive2 == 0 ]] && targetShown "$white2"; then
        verdict=correct
    elif [[ $sig == "$boxSig" && $miss != "$missSig" && $olive2 -gt 50 ]]; then
        verdict=wrong
    else
        verdict="unclear(box $([[ $sig == "$boxSig" ]] && echo same || echo new), olive $olive2)"
    fi
    boxSig=$sig missSig=$miss
}

# drillHomeRow NAME: goes round the home row until three targets are hit. The target stays until it
# is typed, so one round hits it; three hits give the results their weak and strong keys and start
# the frames flashing. Sets correct, wrong, presses and odd (the keys judged unclearly).
drillHomeRow() {
    local homeRow=(a s d f g h j k l semicolon colon bracketright) key
    correct=0 wrong=0 presses=0 odd=""
    while ((correct < 3 && presses < 3 * ${#homeRow[@]})); do
        key=${homeRow[presses % ${#homeRow[@]}]}
        presses=$((presses + 1))
        press "$key"
        case $verdict in
        correct) correct=$((correct + 1)) ;;
        wrong) wrong=$((wrong + 1)) ;;
        *) odd+=" $key:$verdict" ;;
        esac
    done
    echo "$1: home row: $correct correct, $wrong wrong"
}
