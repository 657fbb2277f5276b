#!/usr/bin/env bash
# Builds qtbase for 64-bit Windows with Debian's MinGW-w64 from Debian's own qt6-base source, once
# per machine, into a cache outside the repository; does nothing when the cache is complete.
# Prints the prefix it built into.
set -euo pipefail

QT_VERSION=6.4.2
cache="${ZORVIK_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zorvik}"
prefix="$cache/qt-$QT_VERSION-mingw-w64"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
          dpkg-dev cmake ninja-build perl qt6-base-dev qt6-base-dev-tools)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# The source package comes from the same archive as the binary ones.
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  sed -e 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
    $sudo tee /etc/apt/sources.list.d/zorvik-deb-src.sources >/dev/null
  updated=no
fi
if [ ${#missing[@]} -gt 0 ] || [ "${updated:-yes}" = no ]; then
  $sudo apt-get update -qq
fi
[ ${#missing[@]} -eq 0 ] || $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

toolchain="$(cd "$(dirname "$0")/.." && pwd)/cmake/mingw-w64.cmake"
work="$cache/qt-$QT_VERSION-mingw-w64-build"
# A build that was cut off (the session or the machine ended) goes on where it stopped.
if [ ! -f "$work/.configured" ]; then
  rm -rf "$work" "$prefix"
  mkdir -p "$work"
  cd "$work"
  apt-get source -qq --download-only "qt6-base=$(dpkg-query -W -f='${Version}' qt6-base-dev)"
  dpkg-source -x qt6-base_*.dsc source >/dev/null
  # Without OpenGL, dynamic OpenGL must go too: Qt 6.4's Windows platform plugin does not build with it alone.
  cmake -S source -B build -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake" \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_printsupport=OFF -DFEATURE_tabletevent=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
    -DINPUT_openssl=no -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_libpng=OFF -DFEATURE_system_jpeg=OFF \
    >"$work/configure.log"
  touch "$work/.configured"
fi
cd "$work"
cmake --build build >>"$work/build.log"
cmake --install build >"$work/install.log"
touch "$prefix/.complete"
cd /
rm -rf "$work"
echo "$prefix"
