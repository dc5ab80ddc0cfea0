#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages the station needs to build and test, when any is missing.
# Extra package names given as arguments are installed too.
set -euo pipefail
# Xvfb, xdotool and the xcb headers let a test drive the station on a real X server.
pkgs=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
      libqt6sql6-sqlite
      libqt6sql6-psql libpq-dev
      postgresql
      qt6-l10n-tools
      xvfb xdotool libxcb1-dev
      help2man desktop-file-utils appstream "$@")
missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
