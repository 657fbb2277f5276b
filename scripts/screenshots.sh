#!/usr/bin/env bash
# Takes the README's screenshots of the game and the gallery in real windows under Xvfb.
# Usage: scripts/screenshots.sh [build folder]   (writes docs/*.png)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scripts/deps.sh
command -v import >/dev/null || { sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo; $sudo apt-get install -y -qq imagemagick; }
cmake --build "$build" --target Zorvik zqgallery

work=$(mktemp -d)
xvfb=""; wm=""
trap 'kill $xvfb $wm 2>/dev/null; rm -rf "$work"' EXIT
source tests/xvfb.sh
start_xvfb "$work" || { cat "$work/xvfb.log"; exit 1; }
export DISPLAY=$display
openbox >/dev/null 2>&1 &
wm=$!
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
unset QT_QPA_PLATFORM

wait_window() {
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
    [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.1
  done
  echo "no window $1" >&2
  exit 1
}

# The game, a few pieces into a game, with its state file kept out of the build folder.
cp "$build/bin/Zorvik" "$work/Zorvik"
cp readme_en.htm "$work/"
(cd "$work" && ./Zorvik) &
game=$!
id=$(wait_window '^Zorvik$')
xdotool windowactivate --sync "$id" key F2
for keys in "Left Left Left space" "Right Right End space" "Next Left space" "Right Right Right Right space" "Down Down"; do
  sleep 0.4
  xdotool key $keys
done
sleep 0.3
import -window "$id" -frame docs/game.png
kill $game

"$build/bin/zqgallery" &
gallery=$!
id=$(wait_window '^ZQ Gallery$')
xdotool windowactivate --sync "$id"
sleep 0.5
import -window "$id" -frame docs/gallery.png
kill $gallery
echo "docs/game.png docs/gallery.png written"
