#!/usr/bin/env bash
# Renders the PNG sizes of the icon from its SVG with rsvg-convert (librsvg2-bin). Run once after changing the
# SVG; the PNGs are committed, so neither the build nor the tests need the renderer.
set -euo pipefail
cd "$(dirname "$0")"
name=io.github.vesk_whois.vesk
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "${size}x${size}"
    rsvg-convert --width "$size" --height "$size" --output "${size}x${size}/$name.png" "$name.svg"
done
