#!/usr/bin/env bash
# Builds the Debian package of the station into build-package/ (or $PACKAGE_BUILD_DIR) with
# Debian's compiler flags, and checks it: lintian, then it is installed on this machine, the
# installed station runs 10 s on its simulated modem with a home of its own, and it is removed
# again, leaving nothing but that user's data. Installing needs root (sudo is used otherwise).
# PACKAGE_KEEP=1 leaves the package installed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${PACKAGE_BUILD_DIR:-$root/build-package}"
umask 022 # the package's files and folders get the modes dpkg expects
bash "$root/scripts/deps.sh" lintian dpkg-dev file fakeroot

say() { echo "package.sh: $*" >&2; }
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

say "building in $build"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CMAKE_EXTRA:-} >/dev/null
cmake --build "$build" --parallel "$(nproc)"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/gsmstation_*.deb)"
say "built $deb"
dpkg-deb --info "$deb" >&2

say "lintian:"
lintian --display-info "$deb" >&2 || { say "lintian found errors"; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
say "installing"
$sudo apt-get install -y -qq "$deb" >/dev/null 2>&1 || $sudo dpkg -i "$deb"
dpkg -L gsmstation | sort >"$work/files"

say "running /usr/bin/gsmstation --simulate --quit-after 10 as a user whose home is $work/home"
mkdir -p "$work/home" "$work/tmp"
platform="${QT_QPA_PLATFORM:-}"
[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && platform=offscreen
status=0
(cd "$work" && env -u XDG_DATA_HOME HOME="$work/home" TMPDIR="$work/tmp" \
    ${platform:+QT_QPA_PLATFORM=$platform} \
    /usr/bin/gsmstation --simulate --verbose --quit-after 10 >"$work/station.out" 2>&1) || status=$?
grep -E "^(station started|DataBase:|station ended)" "$work/station.out" >&2 || true
data="$work/home/.local/share/gsmstation"
if [ "$status" -ne 0 ] || [ ! -f "$data/station/Dati.mdb" ]; then
    cat "$work/station.out" >&2
    say "the installed station failed (exit status $status) or wrote no data under $data"
    exit 1
fi
say "the user's data: $(cd "$data" && find . -type f | sort | tr '\n' ' ')"

if [ "${PACKAGE_KEEP:-0}" = 1 ]; then
    say "left installed (PACKAGE_KEEP=1)"
    exit 0
fi
say "removing"
$sudo dpkg -r gsmstation >/dev/null
left=()
while read -r path; do
    [ -e "$path" ] || continue
    [ -d "$path" ] && dpkg -S "$path" >/dev/null 2>&1 && continue # a folder others share
    left+=("$path")
done <"$work/files"
if [ ${#left[@]} -ne 0 ] || dpkg-query -W -f='${Status}' gsmstation 2>/dev/null | grep -q "ok installed"; then
    say "left behind: ${left[*]}"
    exit 1
fi
say "removed: none of its $(wc -l <"$work/files") paths is left; the user's data stays in $data"
