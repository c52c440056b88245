#!/usr/bin/env bash
# Renders the icon (app/icons/carrowin.svg) to the PNG sizes the desktop and the windows
# use, and the Windows window's .ico from them. Run by hand after changing the picture;
# the results are kept with the sources.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v rsvg-convert >/dev/null || { sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo;
  $sudo apt-get install -y -qq --no-install-recommends librsvg2-bin; }
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" app/icons/carrowin.svg -o "app/icons/carrowin-$size.png"
done
bash scripts/setup.sh dev >/dev/null
cmake --build --preset dev --target make-window-icon >/dev/null
build/dev/app/qt/make-window-icon app/win32/carrowin.ico app/icons/carrowin-16.png app/icons/carrowin-32.png
