#!/usr/bin/env bash
# The Windows packages of a build, under Wine in a Wine prefix of their own. The installer as a
# player meets it: installed silently, the game started from where it went, its window 405 x 432
# inside, F2 starting a game and Esc pausing it, closed through the window manager with the state
# saved (520 bytes), and removed by the uninstaller, which leaves the state file. The portable zip
# holds what the installer installs. The library's zip serves a program built against it alone.
# Skips (77) where there is no Xvfb.
# Arguments: the build folder, the source folder, Qt's prefix, the folders of the compiler's runtime.
set -u
build=$1
source_dir=$2
qt=$3
shift 3
runtime_dirs=("$@")
for tool in Xvfb xdotool xwininfo openbox wmctrl wine makensis zip unzip wrestool; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
game=""; wm=""; xvfb=""
cleanup() {
  [ -n "$game" ] && kill "$game" 2>/dev/null
  WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null
  kill $wm $xvfb 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; for log in "$work"/*.log; do [ -s "$log" ] && { echo "--- $log"; tail -20 "$log"; }; done; exit 1; }

"$source_dir/packaging/windows/package.sh" "$build" "$work/dist" >"$work/package.log" 2>&1 || fail "packaging"
installer=$(ls "$work"/dist/Zorvik-*-setup.exe)

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wineboot -i >"$work/wineboot.log" 2>&1 && wineserver -w || fail "the Wine prefix was not made"
wine "$installer" /S >"$work/install.log" 2>&1 || fail "the installer failed"
wineserver -w
folder="$WINEPREFIX/drive_c/Program Files/Zorvik"
for file in Zorvik.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll \
            libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll readme_en.htm LICENSE.txt Uninstall.exe; do
  [ -f "$folder/$file" ] || fail "not installed: $file"
done
[ -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Zorvik.lnk" ] || fail "no Start-menu entry"
installed=$(cd "$folder" && find . -type f ! -name Uninstall.exe | sort)

# The executable carries its icon in every size and its version.
resources=$(wrestool -l "$folder/Zorvik.exe")
wrestool -x -t 14 "$folder/Zorvik.exe" -o "$work/Zorvik.ico" || fail "no icon"
icons=$(icotool -l "$work/Zorvik.ico" | grep -o -- '--width=[0-9]*' | tr '\n' ' ')
[ "$icons" = "--width=16 --width=24 --width=32 --width=48 --width=64 --width=128 --width=256 " ] ||
  fail "the icon sizes are: $icons"
grep -q -- '--type=16 ' <<<"$resources" || fail "no version information"

# The portable zip holds what the installer installed, in a folder of its own.
unzip -q "$work"/dist/Zorvik-*-win64.zip -d "$work/portable"
[ "$(cd "$work/portable/Zorvik" && find . -type f | sort)" = "$installed" ] || fail "the zip holds other files than the installer"

# A program of one's own against the library's zip alone, with Qt: the reference's example and the
# outside program that has names of its own.
unzip -q "$work"/dist/zq-*-win64.zip -d "$work/library"
zq=$(echo "$work"/library/zq-*)
for file in bin/zq.dll lib/libzq.dll.a include/zq/ZQDataGrid.h include/zq/framework/Grids.h lib/cmake/ZQ/ZQConfig.cmake; do
  [ -f "$zq/$file" ] || fail "the library's zip lacks $file"
done
winepath="Z:$zq/bin;Z:$qt/bin"
for dir in "${runtime_dirs[@]}"; do winepath="$winepath;Z:$dir"; done
for program in docs/example tests/install/outside; do
  name=$(basename "$program")
  cmake -S "$source_dir/$program" -B "$work/$name" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64.cmake" -DCMAKE_PREFIX_PATH="$zq;$qt" -DQT_HOST_PATH=/usr \
    >"$work/$name-configure.log" 2>&1 || fail "$program: configuring against the zip"
  cmake --build "$work/$name" >"$work/$name-build.log" 2>&1 || fail "$program: building against the zip"
done
WINEPATH=$winepath wine "$work/example/zq_example.exe" -platform offscreen --quit >"$work/example.log" 2>&1 ||
  fail "the example program did not start and end"
WINEPATH=$winepath wine "$work/outside/outside.exe" -platform offscreen >"$work/outside.log" 2>&1 ||
  fail "the outside program failed"
# Until they have all ended, Wine keeps the display it started them with, which had no windows.
wineserver -w
echo "the zips hold the game and the library; programs built against the library run"

source "$source_dir/tests/xvfb.sh"
start_xvfb "$work" || { echo "skipped: Xvfb did not start"; exit 77; }
export DISPLAY=$display
unset QT_QPA_PLATFORM
openbox --sm-disable >"$work/wm.log" 2>&1 &
wm=$!
(cd "$folder" && exec wine ./Zorvik.exe) >"$work/game.log" 2>&1 &
game=$!

find_window '^Zorvik$' 60
[ -n "$window" ] || fail "no window titled Zorvik"
size=$(xwininfo -id "$window" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
echo "window $window, client area $size"
[ "$size" = "405x432" ] || fail "client area is $size, not 405x432"

# Keys go to the window that has the focus, as a player's would.
title_becomes() {
  for _ in $(seq 100); do
    [ "$(xdotool getwindowname "$window" 2>/dev/null)" = "$1" ] && return 0
    sleep 0.1
  done
  return 1
}
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
xdotool key --window "$window" F2
sleep 0.5
xdotool key --window "$window" Escape
title_becomes "Zorvik - paused. Press F2 to continue" ||
  fail "F2 then Esc did not pause a game: the title is '$(xdotool getwindowname "$window")'"
echo "F2 started a game and Esc paused it"

wmctrl -i -c "$window"
for _ in $(seq 300); do kill -0 $game 2>/dev/null || break; sleep 0.1; done
kill -0 $game 2>/dev/null && fail "the game did not close"
wait $game
code=$?
[ $code -eq 0 ] || fail "exit code $code"
game=""
size=$(stat -c %s "$folder/Zorvik.dat" 2>/dev/null)
[ "$size" = 520 ] || fail "Zorvik.dat holds '${size:-nothing}', not 520 bytes"
echo "closed with exit code 0; Zorvik.dat holds 520 bytes"

wine "$folder/Uninstall.exe" /S >"$work/uninstall.log" 2>&1
# The uninstaller copies itself away and runs from there: wait for it.
wineserver -w
left=$(cd "$folder" 2>/dev/null && find . -type f | sort | tr '\n' ' ')
[ "$left" = "./Zorvik.dat " ] || fail "after uninstalling, the folder holds: ${left:-nothing}"
[ -e "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Zorvik.lnk" ] && fail "the Start-menu entry stays"
echo "uninstalled; the state file stays"
