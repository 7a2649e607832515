#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the run need.
# A no-op when everything is present already.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-serialport-dev libqt6serialport6 qt6-qpa-plugins qt6-translations-l10n
  libgl-dev
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev clang-format
  fonts-ipafont-gothic fontconfig
  xvfb xauth x11-apps imagemagick
  x11-utils xdotool
  desktop-file-utils dpkg-dev
  dbus-daemon
  lintian devscripts appstream
  python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
