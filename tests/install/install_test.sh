#!/usr/bin/env bash
# Installs the build into a scratch root and builds a small outside program with find_package(ZQ).
set -euo pipefail
build=$1
source=$(cd "$(dirname "$0")" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" >/dev/null
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
for file in bin/Zorvik share/zorvik/readme_en.htm share/applications/zorvik.desktop \
            share/icons/hicolor/32x32/apps/zorvik.png lib/cmake/ZQ/ZQConfig.cmake include/zq/components/ZQDataGrid.h; do
  [ -e "$root$prefix/$file" ] || { echo "FAIL: $file was not installed"; exit 1; }
done
find "$root" -name libzqdesigner.so | grep -q designer/ || { echo "FAIL: the designer plugin was not installed"; exit 1; }
cmake -S "$source/outside" -B "$root/outside-build" -G Ninja -DCMAKE_PREFIX_PATH="$root$prefix" >/dev/null
cmake --build "$root/outside-build" >/dev/null
QT_QPA_PLATFORM=offscreen "$root/outside-build/outside"
