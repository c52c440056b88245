#!/usr/bin/env bash
# install-test.sh PACKAGES LINUX_BUILD: checks the Windows zip and installer in PACKAGES
# (package.sh's output) under Wine, in a prefix of its own made for the test: the zip
# holds exactly its files; the installer installs silently; the files, the Start-menu
# shortcut and the Apps & features entry are there; the installed carrowin-cli prints
# its version and splits a mailbox as carrowin-cli on Linux (LINUX_BUILD) does; the
# installed window shows itself; /ADDTOPATH puts it on the PATH; the silent uninstall
# leaves nothing of its own behind and keeps a file the user saved in the folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)
packages=$(cd "$1" && pwd)
linux=$(cd "$2" && pwd)
version=$(sed -n 's/^project(Carrowin VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
zip=$packages/carrowin-$version-windows-x64.zip
setup=$packages/carrowin-$version-windows-x64-setup.exe
work=$(mktemp -d "${TMPDIR:-/tmp}/carrowin-install.XXXX")
prefix=$work/prefix
display() { bash "$top/cmake/wine-display.sh" "$@" "$prefix"; }
trap 'display stop >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
failures=0
check() { # check WHAT COMMAND...: runs the command, says whether it held
  local what=$1; shift
  if "$@" >"$work/check.out" 2>&1; then
    echo "ok      $what"
  else
    echo "FAILED  $what"; sed 's/^/        /' "$work/check.out" | head -20
    failures=$((failures + 1))
  fi
}
run() { "$top/cmake/wine-run.sh" --own-display "$prefix" "$@"; }
# The uninstaller starts a copy of itself elsewhere and ends at once: its work is done
# when it has removed itself (a minute at most).
uninstall() {
  run "$dir/uninstall.exe" /S >/dev/null 2>&1 || true
  for _ in $(seq 1 300); do [ -e "$dir/uninstall.exe" ] || break; sleep 0.2; done
  sleep 0.5 # what it does after removing itself: the folder, when nothing else is in it
}
winpath() { WINEPREFIX=$prefix WINEDEBUG=-all wine winepath -u "$1" 2>/dev/null | tr -d '\r'; }
regquery() { run reg query "$@" 2>/dev/null | tr -d '\r'; }
export prefix top
export -f run regquery winpath

# The zip: exactly these files.
expected="carrowin-$version/LICENSE.txt
carrowin-$version/README.txt
carrowin-$version/carrowin-cli.exe
carrowin-$version/carrowin.exe
carrowin-$version/licenses/CLI11.txt
carrowin-$version/licenses/GCC.txt
carrowin-$version/licenses/GPL-3.txt
carrowin-$version/licenses/mingw-w64.txt"
check "the zip holds exactly its files" diff <(unzip -Z1 "$zip" | LC_ALL=C sort) <(printf '%s\n' "$expected")
unzip -q "$zip" -d "$work/zip"
check "the README has CRLF line ends" bash -c "! grep -q \$'[^\\r]\$' '$work/zip/carrowin-$version/README.txt'"
check "both .exe files carry their version" bash -c "
  for exe in carrowin carrowin-cli; do
    strings -el '$work/zip/carrowin-$version/'\$exe.exe >'$work/strings'
    grep -A1 -x FileVersion '$work/strings' | grep -qx '$version' &&
    grep -A1 -x ProductVersion '$work/strings' | grep -qx '$version' &&
    grep -A1 -x OriginalFilename '$work/strings' | grep -qx \$exe.exe &&
    grep -A1 -x ProductName '$work/strings' | grep -qx Carrowin &&
    grep -qx CompanyName '$work/strings' && grep -qx LegalCopyright '$work/strings' &&
    grep -qx FileDescription '$work/strings' || { echo \"\$exe.exe: no version resource\"; exit 1; }
  done"

check "no time stamp in the .exe headers" bash -c "
  for exe in '$work/zip/carrowin-$version/carrowin.exe' '$work/zip/carrowin-$version/carrowin-cli.exe'; do
    pe=\$(od -An -t u4 -j 60 -N 4 \"\$exe\" | tr -d ' ')
    [ \"\$(od -An -t u4 -j \$((pe + 8)) -N 4 \"\$exe\" | tr -d ' ')\" = 0 ] || { echo \"\$exe: time stamp\"; exit 1; }
  done"

# Install silently into a fresh prefix, on a virtual display.
mkdir -p "$prefix"
display start >/dev/null
run "$setup" /S >/dev/null 2>&1 || true # wine waits for the installer to end
dir=$(winpath 'C:\Program Files\Carrowin')
check "the files are installed" bash -c "cd '$dir' && diff <(find . -type f | sed 's|^\./||' | LC_ALL=C sort) \
  <(printf '%s\n' LICENSE.txt README.txt carrowin-cli.exe carrowin.exe licenses/CLI11.txt licenses/GCC.txt \
    licenses/GPL-3.txt licenses/mingw-w64.txt uninstall.exe | LC_ALL=C sort)"
check "the installed programs are the zip's" cmp "$dir/carrowin-cli.exe" "$work/zip/carrowin-$version/carrowin-cli.exe"
check "the Start-menu shortcut" test -f "$(winpath 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs')/Carrowin.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Carrowin'
regquery "$key" >"$work/key"
check "the Apps & features entry" bash -c "
  for v in DisplayName:Carrowin DisplayVersion:$version 'Publisher:The Carrowin authors' \
           'DisplayIcon:C:\\Program Files\\Carrowin\\carrowin.exe,0' 'InstallLocation:C:\\Program Files\\Carrowin' \
           'UninstallString:\"C:\\Program Files\\Carrowin\\uninstall.exe\"' \
           'QuietUninstallString:\"C:\\Program Files\\Carrowin\\uninstall.exe\" /S' NoModify:0x1 NoRepair:0x1; do
    grep -qF -- \"\${v%%:*}    REG_\" '$work/key' && grep -F -- \"\${v%%:*}    REG_\" '$work/key' | grep -qF -- \"\${v#*:}\" \
      || { echo \"missing or wrong: \$v\"; cat '$work/key'; exit 1; }
  done
  size=\$(sed -n 's/.*EstimatedSize *REG_DWORD *0x\\([0-9a-f]*\\)/\\1/p' '$work/key')
  [ -n \"\$size\" ] && [ \$((16#\$size)) -gt 1000 ] || { echo \"EstimatedSize: \$size\"; exit 1; }"
check "not on the PATH unless asked for" bash -c "! regquery 'HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment' /v Path | grep -qi carrowin"

# The installed carrowin-cli: its version, and the same files as on Linux.
"$linux/testing/make-mailbox" --messages 300 --seed 5 "$work/m.mbx" >/dev/null
"$linux/cli/carrowin-cli" -q -o "$work/linux" "$work/m.mbx" >/dev/null
check "carrowin-cli --version" bash -c "run '$dir/carrowin-cli.exe' --version 2>/dev/null | tr -d '\\r' | grep -qx 'carrowin-cli $version'"
check "README.txt lists every option --help lists" bash -c "
  run '$dir/carrowin-cli.exe' --help 2>/dev/null | tr -d '\\r' | grep -o -- '--[a-z][a-z-]*' | sort -u >'$work/options'
  [ -s '$work/options' ] || exit 1
  while read -r option; do grep -q -- \"\$option\" '$dir/README.txt' || { echo \"missing: \$option\"; exit 1; }; done <'$work/options'"
run "$dir/carrowin-cli.exe" -q -o "$work/windows" "$work/m.mbx" >/dev/null 2>&1 || true
check "the installed carrowin-cli splits as on Linux" diff -r "$work/linux" "$work/windows"

# The installed window shows itself on the virtual display.
run "$dir/carrowin.exe" >/dev/null 2>&1 &
check "the installed window shows itself" bash -c "
  for _ in \$(seq 1 100); do
    DISPLAY=\$(bash '$top/cmake/wine-display.sh' number '$prefix') xwininfo -root -tree 2>/dev/null |
      grep -q '\"Carrowin' && exit 0
    sleep 0.2
  done
  exit 1"
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
display start >/dev/null

# A file of the user's own in the folder, then the silent uninstall.
echo "my notes" >"$dir/my notes.txt"
uninstall
check "the uninstall keeps the user's file, and only it" bash -c "cd '$dir' && [ \"\$(find . -type f)\" = './my notes.txt' ]"
check "the shortcut is gone" test ! -e "$(winpath 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs')/Carrowin.lnk"
check "the Apps & features entry is gone" bash -c "! regquery '$key' | grep -q DisplayName"

# Asked for, the PATH holds it; the uninstall takes it away again.
rm -f "$dir/my notes.txt"
run "$setup" /S /ADDTOPATH >/dev/null 2>&1 || true
environment='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
check "/ADDTOPATH puts carrowin-cli on the PATH" bash -c "regquery '$environment' /v Path | grep -qF 'C:\\Program Files\\Carrowin'"
uninstall
check "the uninstall takes it off the PATH and leaves no folder" bash -c "! regquery '$environment' /v Path | grep -qi carrowin && [ ! -e '$dir' ]"

echo "install-test: $failures failed"
[ "$failures" -eq 0 ]
