#!/usr/bin/env bash
# `make install` as a packager uses it: the build staged under DESTDIR for two prefixes, and the
# trees checked file by file. Nothing may land outside DESTDIR, nothing may be missing or extra,
# the icons must have the sizes their folders promise and see-through corners, and the desktop
# entry, the metainfo, the icons and the window must share one id.
#
#   install-tree.sh BUILD-DIR APP-ID VERSION SIZE...
set -uo pipefail

name=install-tree
build=${1:?usage: install-tree.sh BUILD-DIR APP-ID VERSION SIZE...}
id=${2:?}
version=${3:?}
shift 3
sizes=("$@")
source "$(dirname "$0")/../lib/lib.sh"
need cmake desktop-file-validate appstreamcli identify convert groff gzip

# stage PREFIX: installs into $work/stage under PREFIX; prints the files installed, relative.
stage() {
    rm -rf "$work/stage"
    DESTDIR="$work/stage" cmake --install "$build" --prefix "$1" >"$work/install.log" 2>&1 ||
        { cat "$work/install.log" >&2; fail "cmake --install --prefix $1 failed"; }
    (cd "$work/stage" && find . -type f -o -type l | sed 's|^\./||' | sort)
}

expected() { # expected PREFIX (without the leading slash)
    {
        echo "$1/bin/tapirun"
        echo "$1/share/applications/$id.desktop"
        echo "$1/share/metainfo/$id.metainfo.xml"
        echo "$1/share/man/man1/tapirun.1.gz"
        for s in "${sizes[@]}"; do echo "$1/share/icons/hicolor/${s}x${s}/apps/$id.png"; done
    } | sort
}

# --- the prefix is honoured and DESTDIR holds everything -------------------------------------
odd=/opt/tapirun-install-test-$$
got=$(stage "$odd")
check "prefix $odd: exactly the expected files under DESTDIR" [ "$got" = "$(expected "${odd#/}")" ]
check "prefix $odd: nothing written to the real $odd" [ ! -e "$odd" ]

got=$(stage /usr)
[[ $got == "$(expected usr)" ]] || diff <(expected usr) <(echo "$got") >&2
check "prefix /usr: exactly the expected files" [ "$got" = "$(expected usr)" ]
root=$work/stage/usr

# --- the program -----------------------------------------------------------------------------
check "the program is executable" [ -x "$root/bin/tapirun" ]
check "the installed program knows its version" [ "$("$root/bin/tapirun" --version)" = "Tapirun $version" ]

# --- desktop entry, metainfo, one id ---------------------------------------------------------
entry=$root/share/applications/$id.desktop
check "the desktop entry validates" desktop-file-validate "$entry"
check "the desktop entry's icon is the id" grep -qx "Icon=$id" "$entry"
check "the desktop entry starts the installed program by name" grep -qx "Exec=tapirun" "$entry"
check "the desktop entry is in Education" grep -qx "Categories=Education;" "$entry"
check "names and comments in Japanese and English" \
    eval 'grep -q "^Name=" "$entry" && grep -q "^Name\[ja\]=" "$entry" && grep -q "^Comment=" "$entry" && grep -q "^Comment\[ja\]=" "$entry"'
metainfo=$root/share/metainfo/$id.metainfo.xml
check "the metainfo's id is the id" grep -q "<id>$id</id>" "$metainfo"
check "the metainfo launches the desktop entry" grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo"
check "the tree validates as a whole (metainfo finds its desktop entry)" \
    eval 'appstreamcli validate-tree --no-net "$root" >&2'

# --- icons: the promised size, see-through corners, the drawing's own colours -----------------
for s in "${sizes[@]}"; do
    png=$root/share/icons/hicolor/${s}x${s}/apps/$id.png
    check "icon ${s}x${s} is ${s}x${s} with an alpha channel" \
        [ "$(identify -format '%wx%h %[channels]' "$png")" = "${s}x${s} srgba" ]
    check "icon ${s}x${s} has see-through corners" \
        [ "$(convert "$png" -format '%[fx:p{0,0}.a + p{w-1,0}.a]' info:)" = 0 ]
    check "icon ${s}x${s} has only fully opaque or fully clear pixels" \
        [ "$(convert "$png" -alpha extract -fill black -opaque white -format '%[fx:maxima]' info:)" = 0 ]
done

# --- manual page -----------------------------------------------------------------------------
man=$root/share/man/man1/tapirun.1.gz
check "the manual page is gzip" gzip -t "$man"
check "the manual page formats without warnings" \
    eval '[[ -z $(gzip -dc "$man" | groff -k -man -Tutf8 -ww -z 2>&1) ]]'
check "the manual page names the version" eval 'gzip -dc "$man" | grep -q "Tapirun $version"'

finish
