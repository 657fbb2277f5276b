#!/usr/bin/env bash
# The Windows packages of a build, under Wine in a Wine prefix of their own. The installer as a
# player meets it: installed silently for the current user alone (under %LOCALAPPDATA%\Programs,
# its entry in HKCU) and removed; then for all users, the game started from where it went, its
# window 405 x 432 inside with a fixed frame (and the best-scores dialog's), F2 starting a game and
# Esc pausing it, closed through the window manager with the state saved (520 bytes), and removed
# by the uninstaller, which leaves the state file. The portable zip holds what the installer
# installs. The library's zip serves a program built against it alone.
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
key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Zorvik'
# reg_value HIVE NAME: a value of the uninstall entry in HKLM or HKCU, empty when there is none.
reg_value() {
  wine reg query "$1\\$key" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
# check_entry HIVE FOLDER MODE: the uninstall entry as "Installed apps" reads it, for the game in
# FOLDER (a Windows path) installed for MODE (AllUsers or CurrentUser).
check_entry() {
  local hive=$1 windows_folder=$2 mode=$3
  [ "$(reg_value "$hive" DisplayName)" = Zorvik ] || fail "$hive: no uninstall entry"
  [ "$(reg_value "$hive" InstallLocation)" = "$windows_folder" ] ||
    fail "$hive: InstallLocation is '$(reg_value "$hive" InstallLocation)', not '$windows_folder'"
  [ "$(reg_value "$hive" QuietUninstallString)" = "\"$windows_folder\\Uninstall.exe\" /$mode /S" ] ||
    fail "$hive: QuietUninstallString is '$(reg_value "$hive" QuietUninstallString)'"
  local size
  size=$(reg_value "$hive" EstimatedSize)
  # The game and Qt's DLLs are some MiB; the entry gives KiB.
  [ -n "$size" ] && [ $((size)) -gt 5000 ] && [ $((size)) -lt 200000 ] || fail "$hive: EstimatedSize is '$size'"
}

wineboot -i >"$work/wineboot.log" 2>&1 && wineserver -w || fail "the Wine prefix was not made"
# For the current user alone: under %LOCALAPPDATA%\Programs, the entry in HKCU, nothing for all users.
wine "$installer" /S /CurrentUser >"$work/install-user.log" 2>&1 || fail "the installer failed for the current user"
wineserver -w
local_app_data=$(wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
user_folder=$(winepath -u "$local_app_data\\Programs\\Zorvik" 2>/dev/null)
for file in Zorvik.exe Qt6Core.dll platforms/qwindows.dll Uninstall.exe; do
  [ -f "$user_folder/$file" ] || fail "not installed for the current user: $file (in $user_folder)"
done
[ ! -e "$WINEPREFIX/drive_c/Program Files/Zorvik" ] || fail "an install for the current user wrote under Program Files"
[ -z "$(reg_value HKLM DisplayName)" ] || fail "an install for the current user wrote an entry in HKLM"
check_entry HKCU "$local_app_data\\Programs\\Zorvik" CurrentUser
user_menu=$(winepath -u "$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')\\Microsoft\\Windows\\Start Menu\\Programs\\Zorvik.lnk")
[ -f "$user_menu" ] || fail "no Start-menu entry of the current user"
wine "$user_folder/Uninstall.exe" /CurrentUser /S >"$work/uninstall-user.log" 2>&1
wineserver -w
[ ! -e "$user_folder" ] || fail "after uninstalling for the current user, the folder holds: $(cd "$user_folder" && find . | tr '\n' ' ')"
[ -z "$(reg_value HKCU DisplayName)" ] || fail "the uninstall entry in HKCU stays"
[ ! -e "$user_menu" ] || fail "the current user's Start-menu entry stays"
echo "installed for the current user under $local_app_data\\Programs\\Zorvik, and uninstalled"

wine "$installer" /S /AllUsers >"$work/install.log" 2>&1 || fail "the installer failed"
wineserver -w
folder="$WINEPREFIX/drive_c/Program Files/Zorvik"
check_entry HKLM 'C:\Program Files\Zorvik' AllUsers
[ -z "$(reg_value HKCU DisplayName)" ] || fail "an install for all users wrote an entry in HKCU"
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
# The frame Wine makes from the window's Win32 style: fixed, a minimise box, no maximise; the
# best-scores dialog a close box only.
source "$source_dir/tests/frame_hints.sh"
check_frame "$window" "the main window" yes || fail "the main window's frame"
open_best_scores "$window" || fail "the best-scores dialog did not open"
check_frame "$dialog" "the best-scores dialog" no || fail "the best-scores dialog's frame"
wmctrl -i -c "$dialog"
for _ in $(seq 100); do xdotool search --onlyvisible --name '^Best Scores$' >/dev/null 2>&1 || break; sleep 0.1; done

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

wine "$folder/Uninstall.exe" /AllUsers /S >"$work/uninstall.log" 2>&1
# The uninstaller copies itself away and runs from there: wait for it.
wineserver -w
left=$(cd "$folder" 2>/dev/null && find . -type f | sort | tr '\n' ' ')
[ "$left" = "./Zorvik.dat " ] || fail "after uninstalling, the folder holds: ${left:-nothing}"
[ -e "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Zorvik.lnk" ] && fail "the Start-menu entry stays"
echo "uninstalled; the state file stays"
