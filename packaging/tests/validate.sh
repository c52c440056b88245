#!/usr/bin/env bash
# validate.sh desktop|metainfo|man FILE...: runs the validator Debian's tools use on each
# file and fails on any complaint, warnings and pedantic hints included.
set -uo pipefail
kind=$1; shift
need() { command -v "$1" >/dev/null || { echo "$1 is missing (bash scripts/setup.sh installs it)"; exit 1; }; }
status=0
for f in "$@"; do
  case $kind in
    desktop) need desktop-file-validate; out=$(desktop-file-validate "$f" 2>&1) ;;
    metainfo) need appstreamcli
      out=$(LC_ALL=C.UTF-8 appstreamcli validate --no-net --pedantic --no-color "$f" 2>&1) || out="$out (status $?)"
      # Success is reported in words after a mark; only that line may be said.
      [ "$(grep -v '^$' <<<"$out" | sed 's/^[^A-Za-z]*//')" = "Validation was successful." ] && out="" ;;
    man) need man
      out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$f" 2>&1 >/dev/null) ;;
    *) echo "unknown kind $kind"; exit 2 ;;
  esac
  if [ -n "$out" ]; then
    printf '%s:\n%s\n' "$f" "$out"; status=1
  fi
done
exit $status
