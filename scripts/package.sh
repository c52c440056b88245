#!/usr/bin/env bash
# package.sh [deb|windows]: installs what is missing and builds
#   deb (default): build/package/package/carrowin_VERSION_ARCH.deb, checked with lintian
#     (any error fails);
#   windows: build/windows/packages/carrowin-VERSION-windows-x64.zip and
#     carrowin-VERSION-windows-x64-setup.exe, from the windows preset's programs.
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-deb}" in
deb)
  bash scripts/setup.sh package
  rm -f build/package/package/*.deb
  cpack --preset package
  deb=$(ls build/package/package/carrowin_*.deb)
  echo "Built $deb"
  # Warnings are shown and do not fail the build (the README says which remain and why).
  lintian --fail-on error --info "$deb"
  ;;
windows)
  bash scripts/setup.sh windows carrowin carrowin-cli
  bash packaging/windows/package.sh build/windows build/windows/packages
  ;;
*)
  echo "package.sh: deb or windows" >&2
  exit 2
  ;;
esac
