#!/usr/bin/env bash
# package.sh BUILD OUT: the portable zip and the installer for 64-bit Windows, from the
# programs of the Windows build in BUILD, into OUT:
#   carrowin-VERSION-windows-x64.zip        (a folder carrowin-VERSION holding the files)
#   carrowin-VERSION-windows-x64-setup.exe
# Reproducible: every file carries the time SOURCE_DATE_EPOCH (by default the date of the
# changelog's first entry), the zip keeps no owner or extra fields, and the .exe files
# have no time stamp in their headers.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
version=$(sed -n 's/^project(Carrowin VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
[ -n "$version" ] || { echo "package.sh: no version in CMakeLists.txt" >&2; exit 1; }
epoch=${SOURCE_DATE_EPOCH:-$(date -u -d "$(sed -n 's/^ -- .*>  //p' "$top/packaging/changelog" | head -n 1)" +%s)}
name=carrowin-$version
zip=$out/$name-windows-x64.zip
setup=$out/$name-windows-x64-setup.exe

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/$name
mkdir -p "$stage/licenses"
cp "$build/app/win32/carrowin.exe" "$build/cli/carrowin-cli.exe" "$stage/"
crlf() { sed 's/\r$//; s/$/\r/' "$1" >"$2"; }
sed "s/@PROJECT_VERSION@/$version/" "$here/README.txt.in" >"$work/README.txt"
crlf "$work/README.txt" "$stage/README.txt"
crlf "$top/LICENSE" "$stage/LICENSE.txt"
# What the static .exe files hold, as Debian's packages of it give the licences.
crlf /usr/share/doc/libcli11-dev/copyright "$stage/licenses/CLI11.txt"
crlf /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/GCC.txt"
crlf /usr/share/common-licenses/GPL-3 "$stage/licenses/GPL-3.txt"
crlf /usr/share/doc/mingw-w64-common/copyright "$stage/licenses/mingw-w64.txt"
chmod -R u=rwX,go=rX "$stage"
find "$stage" -exec touch -h -d "@$epoch" {} +

rm -f "$zip"
(cd "$work" && find "$name" -print | LC_ALL=C sort | TZ=UTC zip -q -X -D -@ "$zip")
touch -d "@$epoch" "$zip"

rm -f "$setup"
makensis -V2 -INPUTCHARSET UTF8 "-DVERSION=$version" "-DSTAGE=$stage" "-DICON=$top/app/win32/carrowin.ico" \
  "-DOUTFILE=$setup" "$here/carrowin.nsi" >"$work/makensis.log" || { cat "$work/makensis.log" >&2; exit 1; }
touch -d "@$epoch" "$setup"
echo "Built $zip"
echo "Built $setup"
