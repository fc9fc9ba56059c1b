#!/usr/bin/env bash
# `make package` as a user meets it: the .deb is built with CPack, its fields and files are
# checked, it is installed on this machine with `apt-get install ./….deb`, the installed program
# is started the way the menu entry starts it, on an Xvfb, and then removed with apt-get again.
#
#   deb.sh BUILD-DIR APP-ID VERSION SIZE...
#
# Installing needs root, or sudo without a password. A tapirun package installed before the test
# is left alone: the test stops instead of replacing it.
set -uo pipefail

name=deb
build=${1:?usage: deb.sh BUILD-DIR APP-ID VERSION SIZE...}
id=${2:?}
version=${3:?}
shift 3
sizes=("$@")
source "$(dirname "$0")/../lib/lib.sh"
need cpack file dpkg-deb dpkg-query apt-get dpkg-shlibdeps desktop-file-validate xdotool xprop

# --- the package ----------------------------------------------------------------------------
(cd "$build" && cpack -G DEB -B "$work/package") >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$work/package/tapirun_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || { ls "$work/package" >&2; fail "no $(basename "$deb")"; }
echo "     $(basename "$deb"): $(stat -c %s "$deb") bytes"
field() { dpkg-deb -f "$deb" "$1"; }
depends=$(field Depends)
echo "     Depends: $depends"
check "package name and version" [ "$(field Package) $(field Version)" = "tapirun $version" ]
check "section education" [ "$(field Section)" = education ]
for dep in fonts-ipafont-gothic fonts-ipafont-mincho qt6-qpa-plugins qt6-wayland libqt6widgets6 libqt6gui6 libcanberra0 libc6; do
    check "depends on $dep" eval '[[ ", $depends," == *", $dep"[\ ,]* ]]'
done

expected=$({
    echo "./usr/bin/tapirun"
    echo "./usr/share/applications/$id.desktop"
    echo "./usr/share/metainfo/$id.metainfo.xml"
    echo "./usr/share/man/man1/tapirun.1.gz"
    for s in "${sizes[@]}"; do echo "./usr/share/icons/hicolor/${s}x${s}/apps/$id.png"; done
} | sort)
contents=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
[[ $contents == "$expected" ]] || diff <(echo "$expected") <(echo "$contents") >&2
check "exactly the program, desktop entry, metainfo, manual page and icons" [ "$contents" = "$expected" ]
check "every file belongs to root" eval '! dpkg-deb -c "$deb" | awk "{ print \$2 }" | grep -qv "^root/root$"'

# --- installing it --------------------------------------------------------------------------
asRoot=()
if [[ $(id -u) -ne 0 ]]; then
    sudo -n true 2>/dev/null || fail "installing the package needs root or sudo without a password"
    asRoot=(sudo -n)
fi
if dpkg-query -W -f='${Status}' tapirun 2>/dev/null | grep -q "install ok installed"; then
    fail "a tapirun package is already installed; remove it first (apt-get remove tapirun)"
fi
undo+=('dpkg-query -W tapirun >/dev/null 2>&1 && "${asRoot[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tapirun >/dev/null 2>&1')
"${asRoot[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get install $deb failed"; }
ok "apt-get install ./$(basename "$deb")"
check "the installed program is on the PATH" [ "$(command -v tapirun)" = /usr/bin/tapirun ]
check "the installed program knows its version" [ "$(/usr/bin/tapirun --version)" = "Tapirun $version" ]
entry=/usr/share/applications/$id.desktop
check "the installed desktop entry validates" desktop-file-validate "$entry"

# --- started as the menu starts it ----------------------------------------------------------
command=$(sed -n 's/^Exec=//p' "$entry")
wmClass=$(sed -n 's/^StartupWMClass=//p' "$entry")
startXvfb
mkdir -m 700 "$work/runtime"
(cd / && exec env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="$work" XDG_RUNTIME_DIR="$work/runtime" \
    DISPLAY="$DISPLAY" $command) >"$work/app.log" 2>&1 &
appPid=$!
started+=("$appPid")
win=$(waitForWindow "$appPid")
ok "'$command' from the menu entry shows the window"
check "the window's class is the entry's StartupWMClass ($wmClass)" \
    eval '[[ $(xprop -id "$win" WM_CLASS) == *", \"$wmClass\"" ]]'
kill -TERM "$appPid"
wait "$appPid"
status=$?
check "it ends with status 0 on SIGTERM (got $status)" [ "$status" = 0 ]

# --- removing it ----------------------------------------------------------------------------
"${asRoot[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tapirun >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get remove tapirun failed"; }
check "apt-get remove takes it away again" eval '[[ ! -e /usr/bin/tapirun && ! -e $entry ]]'

finish
