#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the Linux build; the same under
# the address and undefined-behaviour sanitizers; the engine's and carrowin-cli's under
# the thread sanitizer; the tests that only bite for a normal user once more as one (when
# run as root); power cuts under carrowin-cli on ext4, xfs and btrfs (as root: it needs
# loop devices and FUSE); the Windows build under Wine, its zip and installer.
# `test.sh linux|asan|tsan|user|powercut|windows` runs one of them.
set -euo pipefail
cd "$(dirname "$0")/.."
leg=${1:-all}
runs() { [ "$leg" = all ] || [ "$leg" = "$1" ]; }

if runs linux || runs user; then
  bash scripts/setup.sh dev
fi
if runs linux; then
  ctest --preset dev -j"$(nproc)"
fi
if runs asan; then
  bash scripts/setup.sh asan
  ctest --preset asan -j"$(nproc)"
fi
if runs tsan; then
  bash scripts/setup.sh tsan
  ctest --preset tsan -j"$(nproc)"
fi
if runs user && [ "$(id -u)" -eq 0 ]; then
  bash scripts/test-as-user.sh build/dev
fi
if runs powercut; then
  if [ "$(id -u)" -eq 0 ]; then
    bash scripts/power-cut-test.sh
  else
    echo "test.sh: the power-cut test needs root (loop devices, FUSE): left out"
    [ "$leg" = all ] || exit 1
  fi
fi
if runs windows; then
  bash scripts/setup.sh windows
  ctest --preset windows
  # 5,000 messages here: Wine's emulation of names without case makes 20,000 take minutes.
  MESSAGES=5000 bash scripts/compare-windows.sh
  # The zip and the installer: built twice, the same bytes; installed and removed again.
  bash scripts/package.sh windows
  again=$(mktemp -d)
  bash packaging/windows/package.sh build/windows "$again" >/dev/null
  for f in build/windows/packages/*; do
    cmp "$f" "$again/$(basename "$f")" || { echo "test.sh: $f is not built the same twice"; exit 1; }
  done
  rm -rf "$again"
  echo "test.sh: the zip and the installer are built the same twice"
  bash packaging/windows/tests/install-test.sh build/windows/packages build/dev
fi
