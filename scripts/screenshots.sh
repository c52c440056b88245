#!/usr/bin/env bash
# Refreshes the README's pictures of the two windows, each on its own platform: the Qt
# window on a virtual desktop (Xvfb, the xcb platform, openbox's frame), the Win32 window
# under Wine. The same tests run in CI and leave their pictures in the builds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh dev form1_test
ctest --preset dev -R '^window_screenshot_xcb$' --output-on-failure
cp build/dev/desktop/carrowin-window.png docs/window-linux.png
bash scripts/setup.sh windows form1_win32_test carrowin-cli
ctest --preset windows -R '^Win32Window\.Screenshot$' --output-on-failure
cp build/windows/carrowin-win32-window.png docs/window-windows.png
/usr/bin/python3 scripts/png-recompress.py docs/window-windows.png
echo "screenshots.sh: docs/window-linux.png and docs/window-windows.png refreshed"
