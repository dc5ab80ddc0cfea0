#!/usr/bin/env bash
# Brings translations/*.ts up to date with the texts in the code; translate what it marks unfinished
# (with Qt Linguist or by hand), then commit the .ts files. The build compiles them.
# With --check it changes nothing and fails when a text in the code has no translation.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
lupdate="$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)"
cd "$root"
dirs=(common audit link sms station scheduler console dbtool collect unattended app)
check=0
[ "${1:-}" = "--check" ] && check=1
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
status=0
for lang in en it; do
    ts="translations/gsmstation_$lang.ts"
    out="$ts"
    if [ $check -eq 1 ]; then
        out="$tmp/$(basename "$ts")"
        cp "$ts" "$out"
    fi
    # The parser's notes on qualified names are not about the texts.
    "$lupdate" -silent -no-obsolete -locations none -source-language en -target-language "$lang" \
        "${dirs[@]}" -ts "$out" 2>&1 | grep -v "Qualifying with unknown" >&2 || true
    if [ $check -eq 1 ]; then
        if ! diff -q "$ts" "$out" >/dev/null || grep -q 'type="unfinished"' "$out"; then
            echo "$ts: texts without a translation (bash scripts/translations.sh, then translate):" >&2
            diff "$ts" "$out" | grep '^>.*<source>' | sed 's/^> *//' >&2 || true
            grep -B1 'type="unfinished"' "$ts" | grep '<source>' >&2 || true
            status=1
        fi
    fi
done
exit $status
