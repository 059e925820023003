#!/usr/bin/env bash
# Renders the application icon (ui/resources/application.svg, the one the
# window shows) into the PNG sizes the menus of desktops without an SVG loader
# ask for. The PNGs are committed so a build needs no SVG renderer: run this
# again after changing the SVG. Needs rsvg-convert (Debian: librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
svg=../../ui/resources/application.svg
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio "$svg" -o "$size.png"
done
