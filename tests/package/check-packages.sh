#!/usr/bin/env bash
# Checks the release zips that `cpack --preset windows` and `cpack --preset windows-x86` made in
# the given folder: each holds its folder with vantrel.exe, README.txt and LICENSE.txt and
# nothing else; the programs are x86-64 and x86 PE images without debug sections whose version
# record and manifest say the version of the top-level CMakeLists.txt; both import the same modules; the
# symbols zips hold the debug information; the sum files match the zips.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
packages=${1:-$root/build/packages}
version=$(sed -n 's/^project(Vantrel VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
IFS=. read -r major minor patch <<<"$version"
quad="$major.$minor.${patch:-0}.0"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for arch in win64 win32; do
  name=vantrel-$version-$arch
  case $arch in
    win64) format=pei-x86-64; tools=x86_64-w64-mingw32 ;;
    win32) format=pei-i386; tools=i686-w64-mingw32 ;;
  esac
  zip=$packages/$name.zip
  symbols=$packages/$name-symbols.zip
  for f in "$zip" "$symbols" "$packages/$name.sha256"; do
    [ -f "$f" ] || { fail "$f is missing"; continue 2; }
  done
  echo "== $name.zip"
  unzip -l "$zip" | sed -n '4,$p' | head -n -2
  listing=$(unzip -Z1 "$zip" | grep -v '/$' | sort | tr '\n' ' ')
  [ "$listing" = "$name/LICENSE.txt $name/README.txt $name/vantrel.exe " ] || fail "$name.zip holds: $listing"
  listing=$(unzip -Z1 "$symbols" | grep -v '/$' | sort | tr '\n' ' ')
  [ "$listing" = "$name/vantrel.exe.debug " ] || fail "$name-symbols.zip holds: $listing"

  unzip -q -d "$work/$arch" "$zip"
  unzip -q -d "$work/$arch" "$symbols"
  exe=$work/$arch/$name/vantrel.exe
  debug=$work/$arch/$name/vantrel.exe.debug
  "$tools-objdump" -f "$exe" | grep -q "file format $format" || fail "$name: vantrel.exe is not $format"
  if "$tools-objdump" -h "$exe" | grep -q '\.debug_'; then fail "$name: vantrel.exe carries debug sections"; fi
  "$tools-objdump" -h "$debug" | grep -q '\.debug_info' || fail "$name: the symbols hold no .debug_info"
  "$tools-objdump" -p "$exe" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort >"$work/$arch.imports"

  resources=$("$tools-windres" -i "$exe" -O rc)
  grep -Eq "FILEVERSION +$major, *$minor, *${patch:-0}, *0\b" <<<"$resources" || fail "$name: the version record is not $quad"
  tr -d '"' <<<"$resources" | grep -q "assemblyIdentity type=win32 name=DurvaneComputing.Vantrel version=$quad " ||
    fail "$name: the manifest's version is not $quad"
  grep -q "VALUE \"ProductVersion\", \"$quad\"" <<<"$resources" || fail "$name: the product version is not $quad"

  (cd "$packages" && sha256sum --quiet -c "$name.sha256") || fail "$name.sha256 does not match"
  [ "$(wc -l <"$packages/$name.sha256")" -eq 2 ] || fail "$name.sha256 does not list both zips"
done

if [ -f "$work/win64.imports" ] && [ -f "$work/win32.imports" ]; then
  echo "== imports: $(tr '\n' ' ' <"$work/win64.imports")"
  diff "$work/win64.imports" "$work/win32.imports" || fail "x64 and x86 import different modules"
fi
if [ "$failures" -ne 0 ]; then
  echo "$failures package check(s) failed"
  exit 1
fi
echo "packages: both zips checked"
