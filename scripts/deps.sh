#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the window smoke test need, and any named
# as arguments, only when some are missing.
set -euo pipefail

packages=(build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools qt6-tools-dev
          qt6-tools-dev-tools libqt6opengl6-dev libgtest-dev libbenchmark-dev fonts-dejavu-core
          xvfb xauth x11-utils xdotool openbox wmctrl
          librsvg2-bin dpkg-dev file lintian appstream desktop-file-utils clang doxygen pkgconf abigail-tools
          qt6-base-private-dev at-spi2-core python3-pyatspi dbus dbus-x11 "$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
