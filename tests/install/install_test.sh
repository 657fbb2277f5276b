#!/usr/bin/env bash
# Installs the build into a scratch prefix as a player would, without root: into a scratch home's
# ~/.local. Checks that everything lands under the prefix and is listed in the manifest, that the
# menu entry starts the installed game in its read-me page's folder under a window class it names,
# and builds a small outside program and the reference's example with find_package(ZQ) against the
# installed library, and runs both.
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
chmod 755 "$scratch"
xvfb=""; game=""; designer_pid=""
trap 'kill $game $designer_pid $xvfb 2>/dev/null; rm -rf "$scratch"' EXIT
home=$scratch/home
prefix=$home/.local
mkdir -p "$home"
fail() { echo "FAIL: $*"; exit 1; }

# As root, the player is "nobody", who may write only the scratch home and the manifest. A build in
# a folder the player cannot enter (a clone in /root, or in any mktemp -d) is installed by the
# current user instead, and the home then handed to the player, who runs the game from it.
as_player=()
installer=()
installer_name=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
  as_player=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  if "${as_player[@]}" test -r "$build/cmake_install.cmake" -a -r "$build/bin/Zorvik" -a -r "$source/../../readme_en.htm"
  then
    installer=("${as_player[@]}")
    installer_name="a player"
    chown nobody:nogroup "$home"
    manifest=$build/install_manifest.txt
    touch "$manifest"
    chown nobody:nogroup "$manifest"
  else
    echo "the player cannot read the build in $build: installing as $(id -un)"
  fi
fi
HOME=$home "${installer[@]}" cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 ||
  { cat "$scratch/install.log"; fail "cmake --install as $installer_name"; }
if [ "$(id -u)" -eq 0 ]; then
  chown root:root "$build/install_manifest.txt"
  chown -R nobody:nogroup "$home"
fi

# Everything under the prefix, everything installed listed for removal, nothing else in the home.
outside=$(grep -v "^$prefix/" "$build/install_manifest.txt" || true)
[ -z "$outside" ] || fail "installed outside the prefix: $outside"
diff <(sort "$build/install_manifest.txt") <(find "$prefix" ! -type d | sort) ||
  fail "the manifest and the files under the prefix differ"
[ -z "$(ls -A "$home" | grep -vx .local)" ] || fail "written into the home beside .local: $(ls -A "$home")"

[ "$(readlink "$prefix/games/zorvik")" = Zorvik ] || fail "games/zorvik is not a link to Zorvik"
for file in games/Zorvik share/zorvik/readme_en.htm share/metainfo/org.zorvik.Zorvik.metainfo.xml \
            share/man/man6/Zorvik.6.gz share/icons/hicolor/scalable/apps/org.zorvik.Zorvik.svg \
            lib/x86_64-linux-gnu/libzq.so.2 lib/x86_64-linux-gnu/cmake/ZQ/ZQConfig.cmake \
            include/zq/ZQDataGrid.h include/zq/framework/Grids.h lib/x86_64-linux-gnu/pkgconfig/zq.pc \
            include/zq/ZQGridDataObserver.h include/zq/ZQGridDataModel.h include/zq/ZQItemModelData.h \
            share/doc/libzq-dev/html/index.html share/qt6/doc/zq.qch \
            lib/x86_64-linux-gnu/qt6/plugins/designer/libzqdesigner.so; do
  [ -e "$prefix/$file" ] || fail "$file was not installed"
done
for size in 16 22 24 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x$size/apps/org.zorvik.Zorvik.png
  file "$icon" | grep -q "PNG image data, $size x $size," || fail "icon $icon: $(file -b "$icon")"
done

# The menu entry as a desktop reads it.
entry=$prefix/share/applications/org.zorvik.Zorvik.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate $entry"
key() { sed -n "s/^$1=//p" "$entry"; }
exe=$(key Exec)
[ "$exe" = "$prefix/games/Zorvik" ] || fail "Exec=$exe is not the installed game"
[ -f "$(key Path)/readme_en.htm" ] || fail "Path=$(key Path) holds no readme_en.htm"
[ -n "$(key StartupWMClass)" ] || fail "no StartupWMClass"

# The game started as the menu starts it shows a window of the class the entry names.
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v xprop >/dev/null; then
  source "$source/../xvfb.sh"
  start_xvfb "$scratch" || { cat "$scratch/xvfb.log"; fail "Xvfb did not start"; }
  (cd "$(key Path)" && HOME=$home DISPLAY=$display QT_QPA_PLATFORM=xcb exec "${as_player[@]}" "$exe") >"$scratch/game.log" 2>&1 &
  game=$!
  window=""
  for _ in $(seq 300); do
    window=$(DISPLAY=$display xdotool search --onlyvisible --name '^Zorvik$' 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { cat "$scratch/game.log"; fail "the installed game showed no window"; }
  class=$(DISPLAY=$display xprop -id "$window" WM_CLASS | sed 's/.*= //')
  [ "$class" = "\"Zorvik\", \"$(key StartupWMClass)\"" ] ||
    fail "window class $class does not end in StartupWMClass=$(key StartupWMClass)"
  echo "window class $class"

  # Qt Designer, started with the installed plugins and a form holding both grids, shows its window
  # having loaded the plugin over the installed libzq. The game stays until Designer is up: Xvfb
  # resets when its last client leaves, and refuses connections meanwhile.
  designer=$(command -v designer || echo /usr/lib/qt6/bin/designer)
  if [ -x "$designer" ]; then
    plugins=$prefix/lib/x86_64-linux-gnu/qt6/plugins
    HOME=$home DISPLAY=$display QT_QPA_PLATFORM=xcb QT_DEBUG_PLUGINS=1 QT_PLUGIN_PATH=$plugins \
      "$designer" "$source/../designer/Grids.ui" >"$scratch/designer.log" 2>&1 &
    designer_pid=$!
    window=""
    for _ in $(seq 300); do
      window=$(DISPLAY=$display xdotool search --onlyvisible --name 'Qt Designer' 2>/dev/null | head -n1 || true)
      [ -n "$window" ] && break
      sleep 0.1
    done
    kill $designer_pid 2>/dev/null || true
    wait $designer_pid 2>/dev/null || true
    [ -n "$window" ] || { cat "$scratch/designer.log"; fail "Designer showed no window"; }
    grep -q "\"$plugins/designer/libzqdesigner.so\" loaded library" "$scratch/designer.log" ||
      { cat "$scratch/designer.log"; fail "Designer did not load the installed plugin"; }
    ! grep -qi 'undefined symbol\|cannot load' "$scratch/designer.log" ||
      { cat "$scratch/designer.log"; fail "Designer could not load a plugin"; }
    echo "Designer loaded the installed plugin with the form of both grids"
  fi
  kill $game
else
  echo "skipped the window class: Xvfb, xdotool or xprop is not installed"
fi

# The library without the game, by its install components, as a library user installs it.
libonly=$scratch/libonly
for component in zq_runtime zq_dev; do
  cmake --install "$build" --prefix "$libonly" --component $component >/dev/null || fail "installing the component $component"
done
[ -e "$libonly/lib/x86_64-linux-gnu/libzq.so.2" ] && [ -e "$libonly/include/zq/ZQBitGrid.h" ] ||
  fail "the components zq_runtime and zq_dev lack the library or its headers"
[ ! -e "$libonly/games/Zorvik" ] || fail "the library's components install the game"

# Nothing the plugin or the library calls is missing from what the library exports.
for object in "$prefix/lib/x86_64-linux-gnu/libzq.so.2" "$prefix/lib/x86_64-linux-gnu/qt6/plugins/designer/libzqdesigner.so"; do
  unresolved=$(ldd -r "$object" 2>&1 | grep -i 'undefined symbol\|not found' || true)
  [ -z "$unresolved" ] || fail "$object: $unresolved"
done

# The installed library exports what its installed headers declare, and nothing else.
"$source/exported_symbols.sh" "$prefix/lib/x86_64-linux-gnu/libzq.so.2" "$prefix/include"

# A program with its own CheckSum, its own framework/Events.h first on its include path and Qt
# without keywords builds against the installed package and round-trips a checksummed file.
cmake -S "$source/outside" -B "$scratch/outside-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$scratch/outside-build" >"$scratch/outside.log" 2>&1 || { cat "$scratch/outside.log"; fail "the outside program did not build"; }
QT_QPA_PLATFORM=offscreen "$scratch/outside-build/outside"

# The same found through pkg-config.
pkg=$(PKG_CONFIG_PATH=$prefix/lib/x86_64-linux-gnu/pkgconfig pkg-config --cflags --libs zq) || fail "pkg-config zq"
g++ -std=c++17 -fPIC -DQT_NO_KEYWORDS -I"$source/outside/include" "$source/outside/main.cpp" "$source/outside/OwnCheckSum.cpp" \
  $pkg -Wl,-rpath,"$prefix/lib/x86_64-linux-gnu" -o "$scratch/outside-pkg-config" || fail "building with pkg-config's flags: $pkg"
QT_QPA_PLATFORM=offscreen "$scratch/outside-pkg-config" >/dev/null || fail "the program built with pkg-config's flags"
echo "pkg-config: $pkg"

# The library's own version, apart from the game's: the SONAME carries its major number, the CMake
# package accepts a request for any version of that major number up to its own, pkg-config names it.
zq_version=$(sed -n 's/^ZQ_VERSION:INTERNAL=//p' "$build/CMakeCache.txt")
major=${zq_version%%.*}
soname=$(readelf -d "$prefix/lib/x86_64-linux-gnu/libzq.so" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = "libzq.so.$major" ] || fail "SONAME $soname for the library version $zq_version"
[ "$(readlink -f "$prefix/lib/x86_64-linux-gnu/libzq.so.$major")" = "$prefix/lib/x86_64-linux-gnu/libzq.so.$zq_version" ] ||
  fail "libzq.so.$major does not lead to libzq.so.$zq_version"
modversion=$(PKG_CONFIG_PATH=$prefix/lib/x86_64-linux-gnu/pkgconfig pkg-config --modversion zq)
[ "$modversion" = "$zq_version" ] || fail "zq.pc names version $modversion, not $zq_version"
cat >"$scratch/accepts.cmake" <<'EOF'
# What find_package sets before it reads the file.
string(REGEX MATCH "^[0-9]+" PACKAGE_FIND_VERSION_MAJOR ${PACKAGE_FIND_VERSION})
include(${VERSION_FILE})
message("${PACKAGE_VERSION} ${PACKAGE_VERSION_COMPATIBLE}")
EOF
accepts() { # a requested version: prints whether the installed CMake package accepts it
  cmake -DPACKAGE_FIND_VERSION="$1" -DVERSION_FILE="$prefix/lib/x86_64-linux-gnu/cmake/ZQ/ZQConfigVersion.cmake" \
    -P "$scratch/accepts.cmake" 2>&1
}
for request in "$major.0" "$zq_version"; do
  [ "$(accepts "$request")" = "$zq_version TRUE" ] || fail "the CMake package refuses version $request: $(accepts "$request")"
done
for request in "$((major - 1)).0" "$((major + 1)).0" "$major.99"; do
  [ "$(accepts "$request")" = "$zq_version FALSE" ] || fail "the CMake package accepts version $request: $(accepts "$request")"
done
echo "library version $zq_version: $soname, zq.pc and the CMake package agree"

# The example of docs/UsingTheLibrary.md, built as the page says, without a warning, starts.
cmake -S "$source/../../docs/example" -B "$scratch/example-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" >/dev/null
cmake --build "$scratch/example-build" >/dev/null
QT_QPA_PLATFORM=offscreen timeout 60 "$scratch/example-build/zq_example" --quit ||
  fail "the example program did not start and end"
echo "the example program started"
