#!/usr/bin/env bash
# Installs what is missing, builds, and starts Carrowin. Without a display it splits a
# small generated sample mailbox with carrowin-cli instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh release
bin=build/release
if [ -x "$bin/app/carrowin" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$bin/app/carrowin" "$@"
fi
if [ -x "$bin/app/carrowin" ]; then
  echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset), so the window cannot open."
  echo "Use the command-line twin instead: $bin/cli/carrowin-cli --help"
  echo "Splitting a sample mailbox with it now:"
fi
sample=build/sample
rm -rf "$sample" && mkdir -p "$sample"
"$bin/bench/make-mailbox" --messages 25 --seed 7 "$sample/Sample.mbx"
"$bin/cli/carrowin-cli" -o "$sample/messages" "$sample/Sample.mbx"
ls "$sample/messages" | head -25
