#!/usr/bin/env bash
# Every include of the program's own sources points down the tree: the program entry above the two
# windows, the main window above the About box it opens, both above the pieces they share and the
# drill, and those above the platform layer, which knows no form. A file may include its own folder.
#
#   tests/layering.sh SOURCE_DIR
set -euo pipefail
cd "${1:?usage: layering.sh SOURCE_DIR}"

declare -A below=(
    [app]="Unit1 Unit2 common drill platform"
    [Unit1]="Unit2 common drill platform"
    [Unit2]="common drill platform"
    [common]="platform"
    [drill]=""
    [platform]=""
)

status=0
for room in "${!below[@]}"; do
    allowed=" $room ${below[$room]} "
    while IFS=: read -r file line text; do
        target=$(sed -E 's/.*#include *"([^/"]+)\/.*/\1/' <<<"$text")
        [[ $target == "$text" || $allowed == *" $target "* ]] && continue
        echo "$file:$line includes from $target/, which $room/ must not know: $text" >&2
        status=1
    done < <(grep -rnE '^\s*#\s*include\s*"[^"/]+/' "$room" || true)
done
# Only the platform layer sees the toolkit, the browser, the X connection, the sound library and the
# Windows accessibility interfaces.
if grep -rnE '^\s*#\s*include\s*[<"](Q[A-Za-z]+|qt[a-z]*/|windows\.h|emscripten|xcb/|canberra|oleacc)' \
    app Unit1 Unit2 common drill >&2; then
    echo "toolkit headers outside platform/" >&2
    status=1
fi
[[ $status -eq 0 ]] && echo "every include points down the tree"
exit $status
