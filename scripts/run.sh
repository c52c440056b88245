#!/usr/bin/env bash
# Installs what is missing, builds, and starts Carrowin. Without a display it splits a
# small generated sample mailbox with carrowin-cli instead.
set -euo pipefail
cd "$(dirname "$0")/.."
# Only what it runs: the window, carrowin-cli and the sample's generator.
bash scripts/setup.sh release carrowin carrowin-cli make-mailbox
bin=build/release
window=$bin/app/qt/carrowin
if [ -x "$window" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$window" "$@"
fi
if [ -x "$window" ]; then
  echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset), so the window cannot open."
  echo "Use the command-line twin instead: $bin/cli/carrowin-cli --help"
  echo "Splitting a sample mailbox with it now:"
fi
sample=build/sample
rm -rf "$sample" && mkdir -p "$sample"
"$bin/testing/make-mailbox" --messages 25 --seed 7 "$sample/Sample.mbx"
"$bin/cli/carrowin-cli" -o "$sample/messages" "$sample/Sample.mbx"
ls "$sample/messages" | head -25
