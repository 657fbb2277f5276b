# Sourced by the scripts that need a real X display.
# start_xvfb FOLDER starts Xvfb on a display it picks itself, so that servers started side by side
# never race for one. Sets xvfb to its process and display to ":N" once it accepts clients; fails
# when it has not started within 30 s (its log is FOLDER/xvfb.log).
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$1/display" >"$1/xvfb.log" 2>&1 &
  xvfb=$!
  for _ in $(seq 300); do [ -s "$1/display" ] && break; sleep 0.1; done
  [ -s "$1/display" ] || return 1
  display=:$(cat "$1/display")
}

# find_window TITLE SECONDS sets window to the first visible window titled TITLE (a regular
# expression), waiting up to SECONDS for it; fails when none comes.
find_window() {
  window=""
  for _ in $(seq $(($2 * 10))); do
    window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
    [ -n "$window" ] && return 0
    sleep 0.1
  done
  return 1
}
