#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the benchmarks and the demo need.
# Idempotent: packages already present are left alone and apt is not touched at all.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang-format clang-tidy file
  # the macOS sources are syntax-checked with clang against stub SDK headers
  clang
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # X11 key capture
  libxcb1-dev libxcb-xkb-dev libxcb-xtest0-dev libxcb-xinput-dev libxcb-keysyms1-dev
  # MPRIS over D-Bus
  libsystemd-dev dbus dbus-daemon
  # desktop entries, the default audio application and launching it (GIO)
  libglib2.0-dev
  # application
  qt6-base-dev qt6-svg-dev libgl-dev fonts-dejavu-core libglib2.0-dev
  # end-to-end tests and demo: a private X server, a real player and a tone to play
  xvfb xauth mpv mpv-mpris sox trayer
  # desktop key takeover tests: GNOME's media-keys daemon and dconf; Cinnamon's and MATE's schemas
  gnome-settings-daemon dconf-service cinnamon-desktop-data mate-settings-daemon-common
  # desktop key tests: KDE's global shortcut daemon (kglobalaccel5, 35.8 MB with its libraries)
  libkf5globalaccel-bin
  # desktop key tests: Cinnamon's media-keys daemon (csd-media-keys, 5.4 MB with its libraries)
  cinnamon-settings-daemon
  # the package: its manual page from --help, and the checks of its desktop entry and metainfo
  help2man desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
# A fresh machine may have no package lists, or stale ones that no longer match the mirror.
if ! $sudo apt-get install -y --no-install-recommends "${missing[@]}"; then
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
