#!/usr/bin/env bash
# The software centres' entry: the metainfo validates without the network, describes the program
# in English and Japanese, rates its content, names this release, and every screenshot it shows
# is a picture of docs/ with the size it declares.
#
#   metainfo.sh METAINFO DOCS-DIR VERSION
set -uo pipefail

name=metainfo
metainfo=${1:?usage: metainfo.sh METAINFO DOCS-DIR VERSION}
docs=${2:?}
version=${3:?}
source "$(dirname "$0")/../lib/lib.sh"
need appstreamcli identify

check "appstreamcli validate --no-net" eval 'appstreamcli validate --no-net "$metainfo" >&2'
check "a summary in English and in Japanese" \
    eval 'grep -q "<summary>" "$metainfo" && grep -q "<summary xml:lang=\"ja\">" "$metainfo"'
check "a description in English and in Japanese" \
    eval 'grep -q "^ *<p>" "$metainfo" && grep -q "<p xml:lang=\"ja\">" "$metainfo"'
check "an OARS content rating" grep -q '<content_rating type="oars-1.1"' "$metainfo"
check "the release $version" grep -q "<release version=\"$version\"" "$metainfo"

shots=0
while read -r width height file; do
    shots=$((shots + 1))
    check "screenshot $file is docs/$file at ${width}x${height}" \
        eval '[[ -f $docs/$file && $(identify -format "%wx%h" "$docs/$file") == "${width}x${height}" ]]'
done < <(sed -n 's|.*<image type="source" width="\([0-9]*\)" height="\([0-9]*\)">.*/\([^/<]*\)</image>.*|\1 \2 \3|p' "$metainfo")
check "it shows screenshots ($shots)" [ "$shots" -ge 1 ]

finish
