#!/usr/bin/env bash
# Configures BUILD, a build folder of the Debian packages' own: installed under /usr, the state file
# in the player's data folder, no tests, compiled and linked with Debian's flags (hardening: fortify,
# stack protector, relro, bind now) and stripped as Debian strips. Further arguments go to cmake.
set -euo pipefail
source=$(cd "$(dirname "$0")/.." && pwd)
build=$1; shift
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# Run in the source tree, whose path the flags map to "." in the debugging information.
flags() { (cd "$source" && dpkg-buildflags --get "$1"); }
ldflags=$(flags LDFLAGS)
cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DZORVIK_STATE_IN_APP_DATA=ON -DBUILD_TESTING=OFF \
  -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" \
  -DCMAKE_STRIP="$source/packaging/strip.sh" "$@"
