#!/usr/bin/env bash
# Renders the PNG sizes of the icons from their SVG (needs rsvg-convert, Debian package
# librsvg2-bin); the PNGs are committed so that a build needs no renderer.
set -euo pipefail
cd "$(dirname "$0")"
for name in gsmstation gsmdb; do
    for size in 16 22 24 32 48 64 128 256; do
        mkdir -p "hicolor/${size}x${size}/apps"
        rsvg-convert -w "$size" -h "$size" "$name.svg" -o "hicolor/${size}x${size}/apps/$name.png"
    done
done
