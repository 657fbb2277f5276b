#!/usr/bin/env bash
# Builds qtbase for 64-bit Windows with Debian's MinGW-w64 from Debian's own qt6-base source, once
# per machine, into a cache outside the repository; does nothing when the cache is complete.
# Prints the prefix it filled (last line of standard output).
#
#   ZORVIK_QT_ARCHIVE=FILE  fills the cache from FILE, made by --archive, instead of building
#   --archive FILE          packs the complete cache into FILE (.tar.xz) with a SHA256SUMS beside it
#
# One run at a time fills the cache: a second run waits for the first and then uses its cache.
set -euo pipefail

QT_VERSION=6.4.2
# What the build turns off; the stamp of a complete cache names them, so that a cache or an
# archive made with other options is not taken for this one.
# Without OpenGL, dynamic OpenGL must go too: Qt 6.4's Windows platform plugin does not build with it alone.
qt_options=(-DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_dbus=OFF
  -DFEATURE_printsupport=OFF -DFEATURE_tabletevent=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
  -DINPUT_openssl=no -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_freetype=OFF -DFEATURE_system_libpng=OFF -DFEATURE_system_jpeg=OFF)
stamp_text="qt $QT_VERSION mingw-w64 $(printf '%s\n' "${qt_options[@]}" | sha256sum | cut -c1-16)"
# Caches made before the stamp named anything hold an empty one; they were made with exactly
# these options, which this stamp stands for.
empty_stamp_means="qt 6.4.2 mingw-w64 34ace11ab81bdb69"

cache="${ZORVIK_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zorvik}"
name="qt-$QT_VERSION-mingw-w64"
prefix="$cache/$name"
pack=""
if [ "${1:-}" = --archive ]; then
  [ -n "${2:-}" ] || { echo "usage: $0 [--archive FILE.tar.xz]" >&2; exit 2; }
  pack=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
fi

# Whether the stamp in folder $1 is that of a complete cache of this version and options.
stamp_fits() {
  [ -f "$1/.complete" ] || return 1
  local text
  text=$(cat "$1/.complete")
  [ -n "$text" ] || text=$empty_stamp_means
  [ "$text" = "$stamp_text" ]
}

make_archive() {
  local sums
  sums=$(dirname "$pack")/SHA256SUMS
  # Packed under a scratch name, so that a cut-off run leaves no archive that looks whole.
  tar -C "$cache" -cJf "$pack.part" "$name"
  mv "$pack.part" "$pack"
  local line
  line="$(cd "$(dirname "$pack")" && sha256sum "$(basename "$pack")")"
  { [ ! -f "$sums" ] || grep -v "  $(basename "$pack")\$" "$sums" || true; echo "$line"; } >"$sums.part"
  mv "$sums.part" "$sums"
  echo "packed $prefix into $pack" >&2
}

if stamp_fits "$prefix" && [ -z "$pack" ]; then
  echo "$prefix"
  exit 0
fi

mkdir -p "$cache"
# Held until the script ends; a second run waits here, then finds the cache complete.
exec 9>"$cache/.$name.lock"
if ! flock -n 9; then
  echo "waiting for another run that fills $prefix" >&2
  flock 9
fi
if stamp_fits "$prefix"; then
  [ -z "$pack" ] || make_archive
  echo "$prefix"
  exit 0
fi
if [ -f "$prefix/.complete" ]; then
  echo "$prefix was made for another Qt or other options ($(cat "$prefix/.complete")); it is made anew" >&2
fi

if [ -n "${ZORVIK_QT_ARCHIVE:-}" ]; then
  archive=$ZORVIK_QT_ARCHIVE
  refuse() { echo "refused $archive: $*; the cache is left as it was" >&2; exit 1; }
  [ -f "$archive" ] || refuse "no such file"
  sums=$(dirname "$archive")/SHA256SUMS
  [ -f "$sums" ] || refuse "no SHA256SUMS beside it"
  expected=$(awk -v f="$(basename "$archive")" '$2 == f || $2 == "*" f {print $1}' "$sums")
  [ -n "$expected" ] || refuse "$sums has no checksum of it"
  actual=$(sha256sum <"$archive" | cut -d' ' -f1)
  [ "$actual" = "$expected" ] || refuse "its checksum is not the one in $sums (cut off or changed)"
  # Unpacked beside the cache and moved into place only whole.
  unpack=$(mktemp -d "$cache/.$name.unpack.XXXXXX")
  trap 'rm -rf "$unpack"' EXIT
  echo "unpacking $archive into $prefix" >&2
  tar -C "$unpack" -xJf "$archive" --no-same-owner 2>"$unpack.log" || { cat "$unpack.log" >&2; rm -f "$unpack.log"; refuse "it does not unpack"; }
  rm -f "$unpack.log"
  [ "$(ls -A "$unpack")" = "$name" ] || refuse "it holds $(ls -A "$unpack" | tr '\n' ' ')rather than $name alone"
  stamp_fits "$unpack/$name" || refuse "it holds no stamp of a complete cache of Qt $QT_VERSION with this script's options"
  rm -rf "$prefix"
  mv "$unpack/$name" "$prefix"
  [ -z "$pack" ] || make_archive
  echo "$prefix"
  exit 0
fi

work="$cache/$name-build"
if [ -n "${ZORVIK_QT_BUILD_STEP:-}" ]; then
  # Tests put a small command here that fills the prefix given as its argument.
  rm -rf "$prefix"
  mkdir -p "$prefix"
  $ZORVIK_QT_BUILD_STEP "$prefix"
else
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
  # A build that was cut off (the session or the machine ended) goes on where it stopped.
  if [ ! -f "$work/.configured" ]; then
    rm -rf "$work" "$prefix"
    mkdir -p "$work"
    cd "$work"
    apt-get source -qq --download-only "qt6-base=$(dpkg-query -W -f='${Version}' qt6-base-dev)"
    dpkg-source -x qt6-base_*.dsc source >/dev/null
    cmake -S source -B build -G Ninja -Wno-dev \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake" \
      "${qt_options[@]}" >"$work/configure.log"
    touch "$work/.configured"
  fi
  cd "$work"
  cmake --build build >>"$work/build.log"
  cmake --install build >"$work/install.log"
fi
echo "$stamp_text" >"$prefix/.complete"
cd /
rm -rf "$work"
[ -z "$pack" ] || make_archive
echo "$prefix"
