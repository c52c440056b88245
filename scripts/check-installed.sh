#!/usr/bin/env bash
# check-installed.sh DEB: installs the .deb on this Debian 12 system as a user would
# (apt pulls its dependencies) and checks what a user then finds: the programs, the manual
# pages, the menu entry and its icon, and carrowin-cli splitting a mailbox. Meant for a
# fresh system:
#   FRESH_BASE=... ../shared/tools/fresh-check "bash scripts/check-installed.sh /root/carrowin_2.11.0_amd64.deb"
set -euo pipefail
deb=$(readlink -f "$1")
step() { printf '\n== %s\n' "$*"; }

step "apt-get install $deb"
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" man-db 2>&1 \
  | sed -n '/NEW packages/,/upgraded/p' | tr -s ' ' | fold -s -w 100

step "the programs"
command -v carrowin carrowin-cli
carrowin-cli --version
if ldd /usr/bin/carrowin /usr/bin/carrowin-cli | grep 'not found'; then
  echo "a library is missing"; exit 1
fi
# The window starts (here without a display, so offscreen) and stays up until closed.
status=0; QT_QPA_PLATFORM=offscreen timeout 3 carrowin || status=$?
[ "$status" -eq 124 ] || { echo "carrowin ended with status $status"; exit 1; }
echo "carrowin: started and kept running"

step "manual pages"
man -w carrowin-cli carrowin
man carrowin-cli 2>/dev/null | grep -A3 '^EXIT STATUS'

step "menu entry and icon"
grep -E '^(Name|Exec|Icon|Categories)=' /usr/share/applications/carrowin.desktop
ls /usr/share/icons/hicolor/*/apps/carrowin.* /usr/share/metainfo/

step "carrowin-cli splits a mailbox"
work=$(mktemp -d)
record() { # number, text
  local text=$2 size
  size=$(printf '%s' "$text" | wc -c)
  printf '\0\177\0\177'; printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $(($1 & 255)) $(($1 >> 8 & 255)) 0 0)"
  printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $(((size + 16) & 255)) $(((size + 16) >> 8 & 255)) 0 0)"
  printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $((size & 255)) $((size >> 8 & 255)) 0 0)"
  printf '%s' "$text"
}
{
  printf 'JMF6'; head -c 80 /dev/zero
  record 1 $'From: ann@example.com\r\nSubject: Lunch on Friday?\r\n\r\nSee you there.\r\n'
  record 2 $'From: bo@example.org\r\nNewsgroups: alt.test\r\nSubject: Re: test\r\n\r\nposted\r\n'
  record 3 $'From: ann@example.com\r\nSubject: Lunch on Friday?\r\n\r\nOr Saturday.\r\n'
} >"$work/Inbox.mbx"
(cd "$work" && carrowin-cli -o out Inbox.mbx)
ls -l "$work/out"
grep -q 'Or Saturday' "$work/out/Lunch on Friday(1).eml"

step "carrowin-cli on a folder: dry run, then a second run that finds everything there"
(cd "$work" && carrowin-cli --dry-run -o archive . && carrowin-cli -o archive . \
   && carrowin-cli --skip-existing -o archive .)
ls "$work/archive/Inbox"
echo "installed and working"
