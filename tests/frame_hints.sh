# Sourced by the scripts that start the game's windows on an X display (its own, or the one Wine
# draws on). check_frame WINDOW WHAT MINIMISE checks the frame the window asks the window manager
# for: a fixed size (minimum = maximum in WM_NORMAL_HINTS) and Motif functions with a close box,
# no maximise, and a minimise box when MINIMISE is yes. Prints what it read; returns 1 on a fault.
check_frame() {
  local window=$1 what=$2 minimise=$3 hints motif functions min max
  hints=$(xprop -id "$window" WM_NORMAL_HINTS 2>/dev/null)
  min=$(sed -n 's/.*program specified minimum size: //p' <<<"$hints")
  max=$(sed -n 's/.*program specified maximum size: //p' <<<"$hints")
  motif=$(xprop -id "$window" _MOTIF_WM_HINTS 2>/dev/null | sed -n 's/^_MOTIF_WM_HINTS([^)]*) = //p')
  echo "$what: minimum ${min:-none}, maximum ${max:-none}, Motif hints ${motif:-none}"
  [ -n "$min" ] && [ "$min" = "$max" ] || { echo "FAIL: $what can be resized"; return 1; }
  [ -n "$motif" ] || { echo "FAIL: $what gives no Motif hints"; return 1; }
  local flags
  flags=$(($(cut -d, -f1 <<<"$motif")))
  functions=$(($(cut -d, -f2 <<<"$motif")))
  # Without the functions flag the window manager offers everything; with MWM_FUNC_ALL the
  # bits name what is taken away.
  [ $((flags & 1)) -eq 1 ] || functions=1
  [ $((functions & 1)) -eq 0 ] || functions=$(((~functions) & 0x3e))
  [ $((functions & 16)) -eq 0 ] || { echo "FAIL: $what offers maximise"; return 1; }
  [ $((functions & 32)) -ne 0 ] || { echo "FAIL: $what offers no close"; return 1; }
  if [ "$minimise" = yes ]; then
    [ $((functions & 8)) -ne 0 ] || { echo "FAIL: $what offers no minimise"; return 1; }
  else
    [ $((functions & 8)) -eq 0 ] || { echo "FAIL: $what offers minimise"; return 1; }
  fi
}

# open_best_scores WINDOW clicks the main window's "Best scores..." button (the panel at x 256,
# the button at 27, 237 within it, 102 x 24) and sets dialog to the dialog that opens; fails when
# none comes within 30 s.
open_best_scores() {
  local main=$1 found=0
  xdotool mousemove --window "$main" 334 249 click 1
  find_window '^Best Scores$' 30 || found=1
  dialog=$window
  window=$main
  return $found
}
