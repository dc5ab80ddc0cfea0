#!/usr/bin/env bash
# Starts the station against its simulated modem and fleet on a virtual X server (Xvfb) and saves
# screenshots: the main window, the incoming SMS (alarm) window, and the console during an
# audit; in English and Italian when the station offers --language, once otherwise.
# Usage: scripts/screenshots.sh [OUTPUT_DIR]   (default build/screenshots; the PNGs are not kept
# in git)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(mkdir -p "${1:-$root/build/screenshots}" && cd "${1:-$root/build/screenshots}" && pwd)"
"$root/scripts/deps.sh" imagemagick
"$root/scripts/build.sh"
station="${BUILD_DIR:-$root/build}/app/gsmstation/gsmstation"

work="$(mktemp -d)"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# The server chooses a free display and writes its number.
exec 3> >(cat > "$work/display")
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 2>/dev/null &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "screenshots: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -1 "$work/display")" QT_QPA_PLATFORM=xcb

# Waits up to $2 seconds for a line of the station's output that starts with $1.
wait_line() {
    for _ in $(seq $(($2 * 10))); do
        grep -q "^$1" "$log" && return 0
        sleep 0.1
    done
    echo "screenshots: the station never said \"$1\" (see $log)" >&2
    return 1
}
# Saves the window titled $1 as $2.
shoot() {
    local id
    id="$(xdotool search --onlyvisible --name "^$1\$" | head -1)"
    [ -n "$id" ] || { echo "screenshots: no window \"$1\"" >&2; return 1; }
    sleep 0.5 # the last repaint
    import -window "$id" "$2"
    echo "$2"
}

languages=(source)
"$station" --help | grep -q -- "--language" && languages=(en it)
for lang in "${languages[@]}"; do
    home="$work/$lang/station"
    mkdir -p "$home"
    log="$work/$lang.log"
    args=(--simulate --verbose --home "$home" --demo-call 25)
    [ "$lang" != source ] && args+=(--language "$lang")
    "$station" "${args[@]}" > "$log" 2>&1 &
    pid=$!
    pids+=($pid)
    # The windows' titles in that language.
    main="GSM STATUS" console="Call"
    [ "$lang" = it ] && main="STATO GSM" console="Chiamata"
    wait_line "status: signal" 60
    shoot "$main" "$out/main-$lang.png"
    wait_line "SMS window:" 60
    shoot "SMS" "$out/alarms-$lang.png"
    wait_line "console: transfer 200 of" 120
    shoot "$console" "$out/console-audit-$lang.png"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
done
