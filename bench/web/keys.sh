#!/usr/bin/env bash
# Each key's latency on its own, and what the key met: where make bench gives one p95 over fifty
# keys, this tells a slow key from a slow page. The page's keys are sorted into right keys, wrong
# keys after a right one (the bar, started again, runs under them) and wrong keys after a wrong one;
# the floor page is measured as it is and with a bar that runs under every key (floor.html?bar),
# which is what the browser itself costs a page whose bar moves.
#
#   bench/web/keys.sh [SITE-DIR]        default: build-web/site
#
# Environment: KEYS (150 per page), ENGINES ("chromium firefox"), PAGES ("page floor floor+bar"),
# XBENCH_DIR (xbench's folder).
set -uo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
site=$(cd "${1:-$source_dir/build-web/site}" && pwd)
probe=${XBENCH_DIR:-$source_dir/../shared/tools/xbench}/xbprobe
[[ -x $probe ]] || make -s -C "$(dirname "$probe")" >/dev/null || exit 1
# shellcheck source=../../scripts/bench-lib.sh
source "$source_dir/scripts/bench-lib.sh"
read -ra keys <<<"$webKeys"
readonly keys display=:$((60 + $$ % 20)) strip="400x100+$((webScreenW / 2 - 200))+$((webBoxTop + 143))"
work=$(mktemp -d /tmp/tapirun-keys.XXXXXX)
pids=()
cleanup() {
    ((${#pids[@]})) && kill "${pids[@]}" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# measure ENGINE FOLDER PATH: one line per key, "LATENCY-MS CLASS".
measure() {
    local engine=$1 launcher=$source_dir/bench/web/kiosk.sh setup=(F1 space) window="" i after=wrong
    [[ $engine == firefox ]] && launcher=$source_dir/bench/web/firefox.sh setup=(a F1 space)
    Xvfb "$display" -screen 0 "${webScreenW}x${webScreenH}x24" -br -nolisten tcp 2>/dev/null &
    pids=($!)
    /usr/bin/python3 "$source_dir/scripts/serve-web.py" "$2" 18480 >"$work/serve.log" 2>&1 &
    pids+=($!)
    sleep 1
    export DISPLAY=$display HOME=$work/home
    rm -rf "$HOME" && mkdir -p "$HOME"
    setxkbmap -model jp106 -layout jp
    local url
    url=$(grep -o 'http://127.0.0.1:[0-9]*/' "$work/serve.log" | head -1)$3
    "$launcher" "$url" >/dev/null 2>&1 &
    pids+=($!)
    for _ in {1..150}; do
        window=$(timeout 5 "$probe" windows 2>/dev/null | awk 'NR == 1 { print $1 }')
        [[ -n $window ]] && break
        sleep 0.2
    done
    sleep 4
    xdotool windowfocus "$window"
    for key in "${setup[@]}"; do
        xdotool key "$key"
        sleep 1
    done
    # The same idle seconds on the typing screen as make bench gives both pages.
    sleep 10
    for ((i = 0; i < ${KEYS:-150}; i++)); do
        local latency class=key
        latency=$(timeout 10 "$probe" keylat --win "$window" --keys "${keys[i % ${#keys[@]}]}" -n 1 \
            --idle-ms 250 --roi "$webRoi" 2>/dev/null | grep -o 'key_p50_ms=[0-9.]*' | cut -d= -f2)
        if [[ $3 != floor* ]]; then
            sleep 0.1
            # A right key empties the strip; a wrong one writes its character there.
            class=wrong-after-$after after=wrong
            [[ $(import -window root -crop "$strip" -format '%[max]' info: 2>/dev/null) == 0 ]] && class=right after=right
        fi
        echo "${latency:-n/a} $class"
    done
    kill "${pids[@]}" 2>/dev/null
    wait 2>/dev/null
    pids=()
}

summary() { # summary NAME < lines
    sort -k2,2 -k1,1g | awk -v name="$1" '
        $1 ~ /^[0-9.]+$/ { v[$2, ++n[$2]] = $1 }
        END { for (c in n) { k = n[c]; p95 = int(k * 0.95 + 0.999)
                  printf "%-28s %5d %8.2f %8.2f %8.2f\n", name " " (c == "key" ? "" : c), k,
                         v[c, int((k + 1) / 2)], v[c, p95 < 1 ? 1 : p95], v[c, k] } }' | sort
}

printf '%-28s %5s %8s %8s %8s\n' "ms from key to first pixel" keys p50 p95 max
for engine in ${ENGINES:-chromium firefox}; do
    for page in ${PAGES:-page floor floor+bar}; do
        case $page in
        page) measure "$engine" "$site" "" ;;
        floor) measure "$engine" "$source_dir/bench/web" floor.html ;;
        floor+bar) measure "$engine" "$source_dir/bench/web" "floor.html?bar" ;;
        esac | summary "$engine $page"
    done
done
