#!/usr/bin/env bash
# Brings translations/*.ts up to date with the texts in the code; translate what it marks unfinished
# (with Qt Linguist or by hand), then commit the .ts files. The build compiles them.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
lupdate="$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)"
cd "$root"
dirs=(common audit link sms station scheduler console dbtool collect unattended app)
for lang in en it; do
    "$lupdate" -silent -no-obsolete -locations none -source-language en -target-language "$lang" \
        "${dirs[@]}" -ts "translations/gsmstation_$lang.ts"
done
