#!/usr/bin/env bash
# Installs the Debian packages one use of the project needs, and nothing beyond them:
#
#   scripts/install-deps.sh run     building and running the program (make run)
#   scripts/install-deps.sh test    the above, and everything the tests need (make test)
#   scripts/install-deps.sh bench   the above, and the benchmark's tools and peer (make bench)
#   scripts/install-deps.sh web     building the browser program and testing it (make web)
#
# Idempotent: when every package is present it only runs dpkg-query once.
set -euo pipefail

use=${1:-test}

# Building the program and running it on an X11 or Wayland desktop.
run=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-qpa-plugins qt6-wayland libgl-dev libxcb1-dev
  fonts-ipafont-gothic fonts-ipafont-mincho
  libcanberra-dev libcanberra-pulse sound-theme-freedesktop libfontconfig-dev
)

test=(
  libgtest-dev googletest
  xvfb xdotool x11-xkb-utils x11-utils xauth imagemagick valgrind
  libx11-dev libxtst-dev libxdamage-dev libxfixes-dev
  clang-format
  desktop-file-utils appstream groff-base dpkg-dev file
  pulseaudio pulseaudio-utils
  # The desktops people use: Xfce's window manager and panel on X; IBus with Mozc; a headless
  # sway with wtype's keys and grim's pictures (jq reads its layout tree). setpriv runs the input
  # method and the compositor as an unprivileged user, since both refuse root.
  xfwm4 xfce4-panel xfconf dbus-daemon
  ibus ibus-mozc
  sway wtype grim jq util-linux perl-base
  # What a screen reader gets: the accessibility bus, its Python client and Orca with its speech
  # server and synthesiser; dbus-run-session gives the session its own bus.
  at-spi2-core python3-pyatspi dbus-bin orca speech-dispatcher espeak-ng
  # GNOME Shell on Wayland and its mutter on X, and KDE's KWin on Wayland, through Xwayland and on
  # X, with its Breeze caption bars (without them KWin draws no caption bar at all); D-Bus tools
  # to drive them.
  gnome-shell mutter kwin-wayland kwin-x11 kwin-style-breeze xwayland libglib2.0-bin
  # The Windows program: the MinGW-w64 cross compiler (posix thread model) and Wine to test it.
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 wine
)

# The browser program: Emscripten builds it, headless Chromium runs its tests, driven from Debian's
# Python with its websocket module; the site serves subsets of the IPA faces, cut and compressed
# to WOFF2 at build time by fontTools with its Brotli module. Firefox ESR (Gecko) and WebKitGTK
# (Safari's engine, through the MiniBrowser it ships, driven by its WebDriver) run the tests too.
web=(
  emscripten cmake ninja-build googletest fonts-ipafont-gothic fonts-ipafont-mincho
  chromium python3 python3-websocket python3-fonttools python3-brotli
  firefox-esr libwebkit2gtk-4.1-0 webkit2gtk-driver
)

bench=(
  # The peer measured beside the program, TIPP10 on the same Qt 6, with the SQLite driver it keeps
  # its lessons in.
  tipp10 libqt6sql6-sqlite
  xvfb xdotool x11-xkb-utils x11-utils imagemagick gcc make
  libx11-dev libxtst-dev libxdamage-dev libxfixes-dev
  # The browser program, built without its tests (its faces cut down with fontTools), beside the
  # browser's floor page in Chromium and Firefox ESR, and a first visit on a machine whose only faces
  # are DejaVu's.
  emscripten python3-fonttools python3-brotli chromium firefox-esr python3 python3-websocket
  fonts-dejavu-core
)

case $use in
run) packages=("${run[@]}") ;;
test) packages=("${run[@]}" "${test[@]}" "${web[@]}") ;;
web) packages=("${web[@]}") ;;
bench) packages=("${run[@]}" "${bench[@]}") ;;
*)
  echo "usage: $0 run|test|bench|web" >&2
  exit 2
  ;;
esac

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing for $use: ${missing[*]}"
as_root=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi
# Two set-ups started side by side (make test beside make bench) wait for each other's lock.
lock=(-o DPkg::Lock::Timeout=900)
"${as_root[@]}" apt-get "${lock[@]}" update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get "${lock[@]}" install -y -qq --no-install-recommends "${missing[@]}"
