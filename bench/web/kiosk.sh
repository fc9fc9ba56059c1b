#!/usr/bin/env bash
# The browser as the benchmark starts it: Chromium's kiosk at the top-left of xbench's screen, with
# a profile of its own in the run's HOME and nothing of its own running in the background.
#
#   bench/web/kiosk.sh URL [CHROMIUM-FLAG...]
url=${1:?usage: kiosk.sh URL [CHROMIUM-FLAG...]}
shift
mapfile -t flags < <(grep -v '^#' "$(dirname "$0")/../../tests/web/chromium-flags")
exec chromium --kiosk "${flags[@]}" --window-position=0,0 --window-size=1920,1080 \
    --user-data-dir="$HOME/chromium-profile" "$@" "$url"
