#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the Linux build, then the
# Windows build under Wine. `test.sh linux` or `test.sh windows` runs one of them.
set -euo pipefail
cd "$(dirname "$0")/.."
leg=${1:-all}

if [ "$leg" = all ] || [ "$leg" = linux ]; then
  bash scripts/setup.sh dev
  ctest --preset dev -j"$(nproc)"
fi
if [ "$leg" = all ] || [ "$leg" = windows ]; then
  bash scripts/setup.sh windows
  ctest --preset windows
  bash scripts/compare-windows.sh
fi
