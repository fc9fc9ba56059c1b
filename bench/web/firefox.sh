#!/usr/bin/env bash
# Firefox ESR as the benchmark starts it: its kiosk over the whole of xbench's screen, with a profile
# of its own in the run's HOME and nothing of its own running in the background.
#
#   bench/web/firefox.sh URL
profile=$HOME/firefox-profile
mkdir -p "$profile"
cat >"$profile/user.js" <<'PREFS'
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("browser.aboutwelcome.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("app.update.auto", false);
user_pref("extensions.update.enabled", false);
user_pref("browser.safebrowsing.update.enabled", false);
user_pref("network.captive-portal-service.enabled", false);
user_pref("network.connectivity-service.enabled", false);
PREFS
MOZ_CRASHREPORTER_DISABLE=1 exec firefox-esr --kiosk --no-remote --width 1920 --height 1080 --profile "$profile" \
    "${1:?usage: firefox.sh URL}"
