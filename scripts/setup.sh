#!/usr/bin/env bash
# Installs what building and testing Carrowin needs on Debian 12, then configures and
# builds the given preset (default: release): every target, or the targets named after it. The windows preset needs the mingw-w64
# cross compiler, Wine and a virtual display (Xvfb) instead of Qt; the package preset
# needs dpkg-dev and lintian besides.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-release}
targets=("${@:2}")

if [ "$preset" = windows ]; then
  packages=(cmake ninja-build libgtest-dev libcli11-dev g++-mingw-w64-x86-64-posix wine64 wine xvfb
            nsis zip unzip binutils x11-utils # the zip and the installer, and their tests
            dovecot-imapd openssl python3) # the upload's test: a server of its own, with TLS
else
  packages=(g++ cmake ninja-build pkgconf libgtest-dev libcli11-dev libssl-dev
            qt6-base-dev qt6-qpa-plugins libgl-dev fonts-liberation2
            help2man man-db desktop-file-utils appstream
            # the window on a virtual desktop, read by AT-SPI as a screen reader reads it
            xvfb openbox x11-utils dbus-daemon libglib2.0-bin at-spi2-core python3-pyatspi
            # mbox and Maildir output read back by an IMAP server the tests start themselves,
            # and by formail (procmail's), which splits an mbox as mail filters do
            dovecot-imapd procmail
            # the IMAP upload's tests: their certificates made with openssl
            openssl)
fi
if [ "$preset" = package ]; then
  packages+=(dpkg-dev lintian) # the .deb's dependencies are found by dpkg-shlibdeps
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  # Packages that bring a system service (Dovecot) are installed without starting it:
  # the tests start servers of their own, and nothing else of this machine changes.
  policy=/usr/sbin/policy-rc.d
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
    $sudo chmod 755 "$policy"
    trap '$sudo rm -f "$policy"' EXIT
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  if [[ " ${missing[*]} " == *" dovecot-imapd "* ]] && [ -d /run/systemd/system ]; then
    $sudo systemctl disable --quiet dovecot.service dovecot.socket 2>/dev/null || true
  fi
fi

cmake --preset "$preset" >/dev/null
if [ ${#targets[@]} -gt 0 ]; then
  cmake --build --preset "$preset" --target "${targets[@]}" -- -j"$(nproc)"
else
  cmake --build --preset "$preset" -- -j"$(nproc)"
fi
