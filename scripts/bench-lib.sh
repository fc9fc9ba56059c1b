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
