#!/usr/bin/env bash
# The browser program beside the browser's floor: the page in a Chromium kiosk and in a Firefox ESR
# kiosk, each beside a page that only changes one big character per key (bench/web/floor.html), in
# rounds that alternate which of the two goes first; then the page's first contentful paint, cold
# and warm, in headless Chromium, and a new learner's first visit with no Japanese face installed
# over a line emulated at 10 Mbit/s with 40 ms round trips.
#
#   scripts/bench-web.sh SITE-DIR OUT-DIR        (make bench, make bench-web)
#
# A single run's ratio to the floor moves by a third from one run to the next on a shared machine,
# so the ratio is taken within each round, where both pages met the same load, and the median of
# the rounds' ratios is given with the lowest and highest of them: a difference inside that range
# is noise. Both pages meet the same conditions: the same setup keys, the same idle seconds on the
# typing screen before the keys, the same keys.
#
# Environment: XBENCH_DIR (default: shared/tools/xbench beside the checkout), ROUNDS (5), SAMPLES
# (50). Result lines and screenshots go to OUT-DIR; the table goes to the standard output.
set -uo pipefail

site=${1:?usage: scripts/bench-web.sh SITE-DIR OUT-DIR}
out=${2:?usage: scripts/bench-web.sh SITE-DIR OUT-DIR}
[[ -r $site/index.html ]] || { echo "bench: no site at $site" >&2; exit 1; }
source_dir=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench-lib.sh
source "$source_dir/scripts/bench-lib.sh"
xbench=${XBENCH_DIR:-$source_dir/../shared/tools/xbench}
[[ -x $xbench/xbench.sh ]] || { echo "bench: no xbench at $xbench (set XBENCH_DIR)" >&2; exit 1; }
rounds=${ROUNDS:-5}
samples=${SAMPLES:-50}
mkdir -p "$out"

readonly keys=$webKeys xkb='-model jp106 -layout jp'
# CPU while drilling: ten seconds on the typing screen, the bar running. The idle seconds after
# start-up are not reported for the browser, so they are kept short.
typingIdle=()
grep -q -- '--typing-idle-s' "$xbench/xbench.sh" && typingIdle=(--typing-idle-s 10)

webWork=$(mktemp -d /tmp/tapirun-bench-web.XXXXXX)
sitePid="" floorPid=""
webCleanup() {
    [[ -n $sitePid ]] && kill "$sitePid" 2>/dev/null
    [[ -n $floorPid ]] && kill "$floorPid" 2>/dev/null
    rm -rf "$webWork"
}
trap webCleanup EXIT
/usr/bin/python3 "$source_dir/scripts/serve-web.py" "$site" 18180 >"$webWork/site.log" 2>&1 &
sitePid=$!
/usr/bin/python3 "$source_dir/scripts/serve-web.py" "$source_dir/bench/web" 18190 >"$webWork/floor.log" 2>&1 &
floorPid=$!
for _ in {1..50}; do
    siteUrl=$(grep -o 'http://127.0.0.1:[0-9]*/' "$webWork/site.log" 2>/dev/null | head -1)
    floorUrl=$(grep -o 'http://127.0.0.1:[0-9]*/' "$webWork/floor.log" 2>/dev/null | head -1)
    [[ -n $siteUrl && -n $floorUrl ]] && break
    sleep 0.1
done
kiosk=$source_dir/bench/web/kiosk.sh
# The floor gets the page's setup keys too (it ignores F1 and shows Space as a blank), so that both
# have been typed at in the same way when the measured keys come.
# shellcheck disable=SC2016 # expanded by the setup's own shell
webSetup='. "$XB_DIR/helpers.sh"; sleep 1; xb_focus "$XB_WIN"; xb_keys F1 space; sleep 0.5'
# Firefox's kiosk on a screen with no window manager is a window in the browser's display mode,
# which the page cannot tell from a maximised one: its start screen takes a key first, which takes
# the page to full screen (the profile shows no note about it).
# shellcheck disable=SC2016
webSetupFirefox='. "$XB_DIR/helpers.sh"; sleep 1; xb_focus "$XB_WIN"; xb_keys a; sleep 1.5; xb_keys F1 space; sleep 0.5'
for engine in "" -firefox; do
    rm -f "$out/web-page$engine.txt" "$out/web-floor$engine.txt" "$out"/web-page$engine-*.png \
        "$out"/web-floor$engine-*.png
done
measureWeb() { # measureWeb PROGRAM ROUND OUTFILE
    local launcher=$kiosk setup=$webSetup url=$siteUrl
    [[ $1 == *-firefox ]] && launcher=$source_dir/bench/web/firefox.sh setup=$webSetupFirefox
    [[ $1 == web-floor* ]] && url=${floorUrl}floor.html
    "$xbench/xbench.sh" --name "$1" -n "$samples" --xkb "$xkb" --keys "$keys" --setup "$setup" --idle-s 2 \
        --roi "$webRoi" "${typingIdle[@]}" --shot "$out/$1-$2.png" --out "$3" -- "$launcher" "$url" >/dev/null
}
echo "bench: warming up the browsers" >&2
warmUp=(--no-latency --idle-s 1 --rss-delay 1 --xkb "$xkb")
"$xbench/xbench.sh" --name web-warm-up "${warmUp[@]}" -- "$kiosk" "$siteUrl" >/dev/null 2>&1
"$xbench/xbench.sh" --name web-warm-up-firefox "${warmUp[@]}" -- "$source_dir/bench/web/firefox.sh" "$siteUrl" \
    >/dev/null 2>&1
for ((round = 1; round <= rounds; round++)); do
    order=(web-page web-floor web-page-firefox web-floor-firefox)
    ((round % 2 == 0)) && order=(web-floor web-page web-floor-firefox web-page-firefox)
    for program in "${order[@]}"; do
        echo "bench: round $round of $rounds: $program" >&2
        measureWeb "$program" "$round" "$out/$program.txt"
    done
done
# Firefox's kiosk viewport is the whole screen, which puts the box a pixel right and down.
for shot in "$out"/web-page-*run1.png; do
    corner="%[hex:p{$webBoxLeft,$webBoxTop}] %[hex:p{$((webBoxLeft + 1)),$((webBoxTop + 1))}]"
    [[ -e $shot && $(convert "$shot" -format "$corner" info: 2>/dev/null) == *FF00FF* ]] ||
        echo "bench: WARNING: no drill running in $(basename "$shot")" >&2
done
webPaint=$(/usr/bin/python3 "$source_dir/tests/web/chromium.py" paint --site "$site" 2>/dev/null)
wasmBytes=$(cat "$site"/tapirun.*.wasm | gzip -9c | wc -c) jsBytes=$(cat "$site"/tapirun.*.js | gzip -9c | wc -c)
echo "bench: a new learner's first visit on a slow line" >&2
webCold=$(/usr/bin/python3 "$source_dir/tests/web/chromium.py" cold --site "$site" 2>/dev/null)
coldWindow=$(sed -n 's/.*window_s=\([0-9.-]*\).*/\1/p' <<<"$webCold")
coldBytes=$(sed -n 's/.* bytes=\([0-9]*\).*/\1/p' <<<"$webCold")
webCleanup
trap - EXIT

# roundRatios PAGE FLOOR FIELD: per round (the files' lines in order), the page's value, the floor's
# and their ratio.
roundRatios() {
    awk -v f="$3" 'function value(line,   n, i, kv, field) { n = split(line, field, " ")
                       for (i = 1; i <= n; i++) { split(field[i], kv, "="); if (kv[1] == f) return kv[2] }
                       return "n/a" }
                   FNR == 1 { file++ }
                   / run=[0-9]+ / { v[file, FNR] = value($0); if (FNR > rows) rows = FNR }
                   END { for (r = 1; r <= rows; r++) { a = v[1, r]; b = v[2, r]
                             q = (a ~ /^[0-9.]+$/ && b ~ /^[0-9.]+$/ && b + 0 > 0) ? sprintf("%.2f", a / b) : "-"
                             print r, (a == "" ? "n/a" : a), (b == "" ? "n/a" : b), q } }' "$1" "$2"
}
# spread: the median of the numbers read, and their lowest and highest.
spread() {
    sort -g | awk '$1 ~ /^[0-9.]+$/ { v[++c] = $1 }
                   END { if (!c) { print "n/a"; exit }
                         m = (c % 2) ? v[(c + 1) / 2] : (v[c / 2] + v[c / 2 + 1]) / 2
                         printf "%.2f (%.2f-%.2f over %d rounds)\n", m, v[1], v[c], c }'
}

for engine in "" -firefox; do
    page=$out/web-page$engine.txt floor=$out/web-floor$engine.txt
    [[ -f $page && -f $floor ]] || continue
    browserName=Chromium
    [[ -n $engine ]] && browserName="Firefox ESR"
    echo
    echo "the browser program in a $browserName kiosk beside a page that only changes one big character per key,"
    echo "$rounds rounds of $samples keys, which goes first alternating; keys: $keys"
    printf '%-6s %10s %10s %6s  %10s %10s %6s\n' round page_p50 floor_p50 ratio page_p95 floor_p95 ratio
    join <(roundRatios "$page" "$floor" key_p50_ms) <(roundRatios "$page" "$floor" key_p95_ms) |
        awk '{ printf "%-6s %10s %10s %6s  %10s %10s %6s\n", $1, $2, $3, $4, $5, $6, $7 }'
    for field in key_p50_ms:1.15 key_p95_ms:1.3; do
        name=${field%:*} target=${field#*:}
        summary=$(roundRatios "$page" "$floor" "$name" | awk '{ print $4 }' | spread)
        middle=${summary%% *}
        met=$(awk -v m="$middle" -v t="$target" 'BEGIN { if (m ~ /^[0-9.]+$/) print (m + 0 <= t + 1e-9 ? "yes" : "no") }')
        printf '%-10s ratio median %s, target <= %s: %s\n' "${name%_ms}" "$summary" "$target" "${met:-n/a}"
    done
    printf '%-18s %9s %9s %6s\n' metric web-page web-floor ratio
    for name in key_p50_ms key_p95_ms firstpaint_ms rss_mb typing_idle_cpu_s key_ok key_timeout; do
        ours=$(median "$page" "$name")
        peer=$(median "$floor" "$name")
        printf '%-18s %9s %9s %6s\n' "$name" "${ours:-n/a}" "${peer:-n/a}" "$(ratio "$ours" "$peer")"
    done
done
echo "page's first contentful paint in headless Chromium: ${webPaint#web-page } (target warm <= 300 ms)"
echo "first visit, no Japanese face installed, 10 Mbit/s and 40 ms: window after ${coldWindow:-n/a} s" \
    "(target <= 1.5 s), $(((${coldBytes:-0} + 512) / 1024)) KB in all with the service worker's copy (target <= 360 KB)"
echo "program's wasm + JavaScript compressed (gzip -9): $(((wasmBytes + jsBytes + 512) / 1024)) KB (target <= 150 KB)"
