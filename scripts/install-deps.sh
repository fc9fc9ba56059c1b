#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmark need.
# Idempotent: when every package is present it only runs dpkg-query once.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-qpa-plugins libgl-dev
  # Run: the toolkit's Wayland platform, so that a Wayland session runs the program natively.
  qt6-wayland
  libgtest-dev googletest
  fonts-ipafont-gothic fonts-ipafont-mincho
  xvfb xdotool x11-xkb-utils x11-utils imagemagick valgrind
  libx11-dev libxtst-dev libxdamage-dev libxfixes-dev
  clang-format
  libcanberra-dev libcanberra-pulse sound-theme-freedesktop libxcb1-dev
  desktop-file-utils appstream groff-base dpkg-dev file xauth
  pulseaudio pulseaudio-utils
  # Test, the desktops people use: Xfce's window manager and panel on X; IBus with Mozc; a headless
  # sway with wtype's keys and grim's pictures (jq reads its layout tree). setpriv runs the input
  # method and the compositor as an unprivileged user, since both refuse root.
  xfwm4 xfce4-panel xfconf dbus-daemon
  ibus ibus-mozc
  sway wtype grim jq util-linux perl-base
  # The Windows program: the MinGW-w64 cross compiler (posix thread model) and Wine to test it.
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 wine
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
