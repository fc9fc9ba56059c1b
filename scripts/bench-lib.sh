# Sums shared by the benchmark's scripts, over xbench's result lines ("NAME run=N field=value ...").
# shellcheck shell=bash

median() { # median FILE FIELD: the median of the field over the file's per-run lines
    awk -v f="$2" '/ run=[0-9]+ / { n = split($0, field, " ")
                       for (i = 1; i <= n; i++) { split(field[i], kv, "="); if (kv[1] == f && kv[2] ~ /^[0-9.]+$/) v[++c] = kv[2] + 0 } }
                   END { if (!c) exit
                         for (i = 1; i <= c; i++) for (j = i + 1; j <= c; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
                         print (c % 2) ? v[(c + 1) / 2] : (v[c / 2] + v[c / 2 + 1]) / 2 }' "$1"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a !~ /^[0-9.]+$/ || b !~ /^[0-9.]+$/ || b + 0 == 0) print "-"; else printf "%.2f", a / b }'; }
meets() { # meets OURS PEER TARGET: TARGET is the highest allowed ratio of ours to the peer's
    awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { if (t == "" || a !~ /^[0-9.]+$/ || b !~ /^[0-9.]+$/) exit
        print (a + 0 <= t * b + 1e-9 ? "yes" : "no") }'
}

# The browser page as the benchmark types at it on xbench's 1920x1080 screen: the home row's keys,
# and latency counted only inside the target box and the strip below it where a wrong key shows its
# character. The kiosk's viewport is the screen but for a pixel at the right and bottom edges.
webScreenW=1920 webScreenH=1080
# shellcheck disable=SC2034 # read by the scripts that source this
webKeys="a s d f g h j k l semicolon colon bracketright"
webBoxLeft=$(((webScreenW - 1 - 140) / 2)) webBoxTop=$(((webScreenH - 1 - 140) / 2))
# shellcheck disable=SC2034
webRoi="$((webBoxLeft - 130)),$webBoxTop,400,330"
