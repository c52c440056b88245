#!/usr/bin/env bash
# installed-files.sh BUILD EXPECTED: installs BUILD under a temporary prefix and compares
# the files that land there with the list EXPECTED.
set -euo pipefail
build=$1 expected=$2
dest=$(mktemp -d); trap 'rm -rf "$dest"' EXIT
cmake --install "$build" --prefix "$dest/usr" >/dev/null
diff -u "$expected" <(cd "$dest/usr" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
# The programs run from where they were installed.
"$dest/usr/bin/carrowin-cli" --version
