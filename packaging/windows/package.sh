#!/usr/bin/env bash
# Makes the Windows packages of a Windows build folder into OUT: the installer, the game as a
# portable zip, and the zq library (zq.dll, its import library, headers and CMake package) as a zip.
set -euo pipefail
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
# The library's zip is named by the library's own version.
library_version=$(sed -n 's/^ZQ_VERSION:INTERNAL=//p' "$build/CMakeCache.txt")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Exactly what the game needs to start on a machine that has nothing else.
cmake --install "$build" --component zorvik --prefix "$work/Zorvik" --strip >/dev/null
(cd "$work" && rm -f "$out/Zorvik-$version-win64.zip" && zip -qrX "$out/Zorvik-$version-win64.zip" Zorvik)

"$here/remove-list.sh" "$work/Zorvik" >"$work/remove.nsh"
makensis -V2 -DSTAGE="$work/Zorvik" -DREMOVE="$work/remove.nsh" -DICON="$build/app/Zorvik.ico" \
  -DVERSION="$version" -DOUTFILE="$out/Zorvik-$version-setup.exe" "$here/Zorvik.nsi"

library="zq-$library_version-win64"
for component in zq_runtime zq_dev; do
  cmake --install "$build" --component $component --prefix "$work/$library" --strip >/dev/null
done
(cd "$work" && rm -f "$out/$library.zip" && zip -qrX "$out/$library.zip" "$library")
ls -l "$out/Zorvik-$version-setup.exe" "$out/Zorvik-$version-win64.zip" "$out/$library.zip"
