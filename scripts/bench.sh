#!/usr/bin/env bash
# Benchmarks the built program on a fresh Xvfb with the shared xbench tool, beside the fastest
# typing tutor on the same toolkit (TIPP10, Debian's tipp10 on the same Qt 6), run after run in
# turn so that both meet the same load, and beside the smallest Qt 6 Widgets program shaped like a
# drill screen (xbench's qt6-floor baseline), the toolkit's own floor; then times the one-minute
# test from the outside.
#
#   scripts/bench.sh build/tapirun [build-web/site]        (make bench)
#
# With the browser program's site, it also measures the page beside the engine's own floor in
# Chromium and Firefox ESR, in alternating rounds, with its first paint and first visit
# (scripts/bench-web.sh).
#
# Environment: XBENCH_DIR (default: shared/tools/xbench beside the checkout), RUNS (3), ROUNDS (5,
# the browser's), SAMPLES (50), SKIP_MINUTE=1 to leave out the minute. Results, screenshots and logs go to
# build/bench-results/.
set -uo pipefail

app=${1:?usage: scripts/bench.sh PATH/TO/tapirun}
[[ -x $app ]] || { echo "bench: $app is not an executable" >&2; exit 1; }
app=$(cd "$(dirname "$app")" && pwd)/$(basename "$app")
source_dir=$(cd "$(dirname "$0")/.." && pwd)
xbench=${XBENCH_DIR:-$source_dir/../shared/tools/xbench}
runs=${RUNS:-3}
samples=${SAMPLES:-50}
out=$(dirname "$app")/bench-results
mkdir -p "$out"
[[ -x $xbench/xbench.sh ]] || { echo "bench: no xbench at $xbench (set XBENCH_DIR)" >&2; exit 1; }
xbench=$(cd "$xbench" && pwd)
# The peer and its database driver come with the benchmark's share of the project's packages.
"$source_dir/scripts/install-deps.sh" bench || exit 1
command -v tipp10 >/dev/null || { echo "bench: tipp10 is not installed" >&2; exit 1; }

# xbench's screen, and places on it that follow from the window's table and the centring rule.
readonly screenW=1920 screenH=1080
readonly boxLeft=$(((screenW - 140) / 2)) boxTop=$(((screenH - 140) / 2)) # target frame, 140x140
readonly resultLeft=$(((screenW - 200) / 2)) resultTop=$(((screenH - 150) / 2)) # test result frame, 200x150
# Latency counts only changes inside the target box and the strip below it where a wrong key
# shows its character: the progress bar along the bottom edge repaints every 30 ms, and with a
# random target most keys of the row are wrong ones, which leave the box itself alone.
readonly roi="$((boxLeft - 130)),$boxTop,400,330"
readonly keys="a s d f g h j k l semicolon colon bracketright"
readonly xkb='-model jp106 -layout jp'
# CPU while drilling: ten seconds on the typing screen of each program, its clock or bar running.
typingIdle=()
grep -q -- '--typing-idle-s' "$xbench/xbench.sh" && typingIdle=(--typing-idle-s 10)

# --- the peer: xbench's qt6-floor baseline, built by xbench's own makefile -----------------
# The tool's folder may be read-only; then the same rule builds into our build folder.
floor=$xbench/baseline/qt6-floor
if ! make -s -C "$xbench" baseline >/dev/null 2>&1 || [[ ! -x $floor ]]; then
    mkdir -p "$out/baseline"
    make -s -C "$out" -f "$xbench/Makefile" VPATH="$xbench" baseline/qt6-floor || {
        echo "bench: cannot build the qt6-floor baseline (needs qt6-base-dev)" >&2
        exit 1
    }
    floor=$out/baseline/qt6-floor
fi

# --- the peer's home: its first-run dialog answered once, then copied for every run ----------
# TIPP10 opens with an introduction dialog: its two buttons (left, then the one that closes it)
# are clicked, and the main window's appearance proves the settings were written. Typing errors
# then must not block the text, so that every key, right or wrong, changes the screen as ours does,
# and its error beep stays off, as xbench's display has no sound anyway.
peerHome=$out/tipp10-home
rm -rf "$peerHome"
mkdir -p "$peerHome"
# shellcheck disable=SC2016 # expanded by the setup's own shell
"$xbench/xbench.sh" --name tipp10-first-run --home "$peerHome" --no-latency --idle-s 1 --rss-delay 1 --setup \
    '. "$XB_DIR/helpers.sh"; w=$(xb_waitwin "^Introduction$") || exit 1; sleep 0.5
     xb_click "$w" 219 377; sleep 0.5; xb_click "$w" 510 377; xb_waitwin "^TIPP10$" >/dev/null; sleep 2' \
    -- tipp10 >"$out/tipp10-first-run.txt" 2>&1
rm -rf "$peerHome/.dbus"
peerConf=$peerHome/.config/TIPP10/TIPP10.conf
[[ -f $peerConf ]] || { echo "bench: tipp10's first run wrote no settings (see $out/tipp10-first-run.txt)" >&2; exit 1; }
printf '\n[error]\ncheck_beep=false\ncheck_correct=false\ncheck_stop=false\n' >>"$peerConf"

# --- key latency, start-up, memory and idle CPU, run after run in turn ----------------------
# The drill must be running for the keys to mean anything: F1 prepares it, Space starts it.
# TIPP10's lesson starts with the button at the bottom right of its window and a Space; its text
# runs in the upper part of the window, which is where a key shows.
# shellcheck disable=SC2016 # expanded by the setup's own shell
setup='. "$XB_DIR/helpers.sh"; xb_focus "$XB_WIN"; xb_keys F1 space; sleep 0.5'
# shellcheck disable=SC2016
peerSetup='. "$XB_DIR/helpers.sh"; w=$(xb_waitwin "^TIPP10$") || exit 1; sleep 0.5
           xb_click "$w" 695 497; sleep 2; xb_focus "$w"; xb_keys space; sleep 1'
rm -f "$out/tapirun.txt" "$out/tipp10.txt" "$out/qt6-floor.txt" "$out"/tapirun-*.png "$out"/tipp10-*.png
# Both programs meet the same conditions: the same keymap, and each run's order reversed from the
# last, since on this kind of machine the program that starts first after a pause starts slower.
# One unrecorded round of both first brings their files into memory.
measure() { # measure PROGRAM RUN OUTFILE
    if [[ $1 == tapirun ]]; then
        "$xbench/xbench.sh" --name tapirun -n "$samples" --xkb "$xkb" --keys "$keys" --setup "$setup" --roi "$roi" \
            "${typingIdle[@]}" --shot "$out/tapirun-$2.png" --out "$3" -- "$app" >/dev/null
    else
        "$xbench/xbench.sh" --name tipp10 -n "$samples" --xkb "$xkb" --home-from "$peerHome" \
            --keys "a s d f space j k l semicolon space" --setup "$peerSetup" --roi 0,0,750,380 "${typingIdle[@]}" \
            --shot "$out/tipp10-$2.png" --out "$3" -- tipp10 >/dev/null
    fi
}
echo "bench: warming up both programs" >&2
warmUp=(--no-latency --idle-s 1 --rss-delay 1 --xkb "$xkb")
"$xbench/xbench.sh" --name tapirun-warm-up "${warmUp[@]}" -- "$app" >/dev/null 2>&1
"$xbench/xbench.sh" --name tipp10-warm-up "${warmUp[@]}" --home-from "$peerHome" -- tipp10 >/dev/null 2>&1
for ((run = 1; run <= runs; run++)); do
    order=(tapirun tipp10)
    ((run % 2 == 0)) && order=(tipp10 tapirun)
    for program in "${order[@]}"; do
        echo "bench: run $run of $runs: $program" >&2
        measure "$program" "$run" "$out/$program.txt"
    done
done
# Each run's screenshot after the setup must show the target frame, or the keys measured nothing.
for shot in "$out"/tapirun-*-run1.png; do
    [[ -e $shot && $(convert "$shot" -format "%[hex:p{$boxLeft,$boxTop}]" info: 2>/dev/null) == FF00FF ]] ||
        echo "bench: WARNING: no drill running in $(basename "$shot")" >&2
done
echo "bench: xbench on qt6-floor ($runs runs)" >&2
"$xbench/xbench.sh" --name qt6-floor --runs "$runs" -n "$samples" --xkb "$xkb" --keys "$keys" \
    "${typingIdle[@]}" --shot "$out/qt6-floor.png" --out "$out/qt6-floor.txt" -- "$floor" >/dev/null

# --- the one-minute test, timed from the outside --------------------------------------------
minute=""
if [[ ${SKIP_MINUTE:-0} != 1 ]]; then
    clock=$out/PixelClock
    if [[ ! -x $clock || $source_dir/bench/PixelClock.cpp -nt $clock ]]; then
        g++ -std=c++20 -O2 -Wall -Wextra -Werror -o "$clock" "$source_dir/bench/PixelClock.cpp" -lX11 -lXtst ||
            { echo "bench: cannot build PixelClock" >&2; exit 1; }
    fi
    name=bench
    # shellcheck source=../tests/lib/lib.sh
    source "$source_dir/tests/lib/lib.sh"
    screenSize=${screenW}x${screenH}
    startXvfb
    if [[ -n $xvfbPid ]]; then
        read -ra xkbArgs <<<"$xkb"
        setxkbmap "${xkbArgs[@]}"
        mkdir -m 700 "$work/runtime"
        env -u DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM=xcb HOME="$work" XDG_RUNTIME_DIR="$work/runtime" \
            "$app" >"$work/app.log" 2>&1 &
        started+=($!)
        # The mode selector sits at 50,110 after start-up; its items are 22 px high from 19 down,
        # so the test mode (item 5) is clicked in its middle.
        readonly testItemX=$((50 + 40)) testItemY=$((110 + 19 + 22 * 5 + 11))
        echo "bench: timing the one-minute test on $DISPLAY" >&2
        if "$clock" --at 50,30 --colour 00ff00 --fine-after-ms 0 --poll-ms 20 --timeout-ms 20000 >/dev/null &&
            xdotool mousemove "$testItemX" "$testItemY" click 1 && sleep 0.3 && xdotool key F1 &&
            "$clock" --at "$boxLeft,$boxTop" --colour ff00ff --fine-after-ms 0 --poll-ms 20 --timeout-ms 5000 \
                >/dev/null; then
            minute=$("$clock" --key space --at "$resultLeft,$resultTop" --colour 00ff00 \
                --fine-after-ms 58000 --poll-ms 5 --timeout-ms 75000)
            import -window root "$out/test-result.png" 2>/dev/null
        else
            echo "bench: could not prepare the test (see $work/app.log)" >&2
        fi
        minute=$(sed -n 's/^elapsed_ms=\([0-9.]*\).*/\1/p' <<<"$minute")
        xdotool mousemove 250 48 click 1 # the exit button
    fi
    cleanup
    trap - EXIT
fi

# --- the browser program beside the browser's floor ---------------------------------------
site=${2:-}
webSummary=""
if [[ -n $site && -r $site/index.html ]]; then
    webSummary=$(ROUNDS=${ROUNDS:-5} "$source_dir/scripts/bench-web.sh" "$site" "$out")
fi

# --- the program alone, in process ---------------------------------------------------------
inprocess=$(dirname "$app")/bench/tapirun_keylatency
inprocessOut=""
if [[ -x $inprocess ]]; then
    echo "bench: in-process key latency" >&2
    inprocessOut=$(QT_QPA_PLATFORM=offscreen "$inprocess" 2000 2>/dev/null)
fi

# --- the table ------------------------------------------------------------------------------
# shellcheck source=bench-lib.sh
source "$source_dir/scripts/bench-lib.sh"

{
    echo
    echo "medians of $runs runs each on Xvfb ${screenW}x${screenH} ($xkb), tapirun and tipp10 in alternating order; keys: $keys"
    printf '%-18s %9s %9s %6s  %-7s %-4s %9s\n' metric tapirun tipp10 ratio target met qt6-floor
    while read -r field target; do
        ours=$(median "$out/tapirun.txt" "$field")
        peer=$(median "$out/tipp10.txt" "$field")
        floorValue=$(median "$out/qt6-floor.txt" "$field")
        printf '%-18s %9s %9s %6s  %-7s %-4s %9s\n' "$field" "${ours:-n/a}" "${peer:-n/a}" "$(ratio "$ours" "$peer")" \
            "${target:+<= $target}" "$(meets "$ours" "$peer" "$target")" "${floorValue:-n/a}"
    done <<'EOF'
key_p50_ms 1
key_p95_ms 1
firstpaint_ms 1
rss_mb 1
typing_idle_cpu_s 1
idle_cpu_s
startup_ms
pss_mb
key_ok
key_timeout
EOF
    ours=$(median "$out/tapirun.txt" key_p50_ms)
    peer=$(median "$out/tipp10.txt" key_p50_ms)
    echo "stretch: key_p50_ms ratio $(ratio "$ours" "$peer") <= 0.8: $(meets "$ours" "$peer" 0.8)"
    if [[ -n $minute ]]; then
        awk -v m="$minute" 'BEGIN { printf "test minute: %.1f ms from Space to the result box (%+.1f ms, %+.3f %% against 60 s)\n",
                                           m, m - 60000, (m - 60000) / 600 }'
    elif [[ ${SKIP_MINUTE:-0} != 1 ]]; then
        echo "test minute: n/a"
    fi
    [[ -n $webSummary ]] && echo "$webSummary"
    if [[ -n $inprocessOut ]]; then
        echo "in process (offscreen, key sent to repaint done):"
        echo "  ${inprocessOut//$'\n'/$'\n'  }"
    fi
} | tee "$out/summary.txt"
