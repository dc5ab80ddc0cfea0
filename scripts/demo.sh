#!/usr/bin/env bash
# Installs what is missing, builds, and starts the station against its simulated modem and fleet.
# Without a display the station runs on the offscreen platform and prints what it does.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
home="${DEMO_HOME:-$root/build/demo/station}"
mkdir -p "$home"
args=(--simulate --home "$home" --verbose)
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="qt.qpa.*=false"
    args+=(--quit-after "${DEMO_SECONDS:-150}" --demo-call 30)
    echo "No display: running the station offscreen for ${DEMO_SECONDS:-150} s and printing what it does."
fi
exec "${BUILD_DIR:-$root/build}/app/gsmstation/gsmstation" "${args[@]}" "$@"
