#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# render-icons.sh: draws the PNG sizes of the program's icon from its SVG
# (rsvg-convert, Debian package librsvg2-bin). Run it after changing the SVG
# and commit the pictures with it.
set -euo pipefail
cd "$(dirname "$0")/../data/icons/hicolor"
for size in 16 24 32 48 64 128 256; do
  mkdir -p "${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" scalable/apps/vexmora.svg -o "${size}x${size}/apps/vexmora.png"
done
