#!/usr/bin/env bash
# Firefox ESR as the benchmark starts it: its kiosk over the whole of xbench's screen, with a profile
# of its own in the run's HOME and nothing of its own running in the background.
#
#   bench/web/firefox.sh URL
profile=$HOME/firefox-profile
mkdir -p "$profile"
cp "$(dirname "$0")/../../tests/web/firefox-user.js" "$profile/user.js"
# The page's start screen takes the page to full screen in this kiosk: no note about it, no animation.
printf '%s\n' 'user_pref("full-screen-api.warning.timeout", 0);' \
    'user_pref("full-screen-api.transition-duration.enter", "0 0");' >>"$profile/user.js"
MOZ_CRASHREPORTER_DISABLE=1 exec firefox-esr --kiosk --no-remote --width 1920 --height 1080 --profile "$profile" \
    "${1:?usage: firefox.sh URL}"
