#!/usr/bin/env bash
# Writes pictures of the main screens into docs/, rendered offscreen at 1024x768.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
config="$root/$build/tests/screen-1024x768.json"
QT_QPA_PLATFORM="offscreen:configfile=$config" TAPIRUN_SHOTS="$root/docs" \
    "$root/$build/tests/form_tests" --gtest_brief=1 >/dev/null
ls "$root/docs"/*.png
