#!/usr/bin/env bash
# The gallery read from outside, as a screen reader reads it: AT-SPI's own client library walks the
# running gallery under Xvfb, on a D-Bus session of the test's own (tests/gallery_atspi.py).
# Skips (77) only where a tool it needs is not installed; anything else that goes wrong fails.
set -u
exe=$1
for tool in Xvfb xdotool dbus-run-session; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
# The Debian package installs pyatspi for the system's Python, which another python3 on PATH may not be.
python=""
for candidate in /usr/bin/python3 python3; do
  "$candidate" -c 'import pyatspi' 2>/dev/null && { python=$candidate; break; }
done
[ -n "$python" ] || { echo "skipped: python3-pyatspi is not installed"; exit 77; }
[ -e /usr/share/dbus-1/services/org.a11y.Bus.service ] || { echo "skipped: at-spi2-core is not installed"; exit 77; }

work=$(mktemp -d)
xvfb=""
# Xvfb is waited for, so that the display is free again when the next test picks one.
trap '[ -n "$xvfb" ] && { kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; }; rm -rf "$work"' EXIT
# -noreset: without it the server resets when its last client leaves (the probe below), and the
# gallery, connecting at that moment, is refused.
# A display number far from the low ones that other servers on the machine take first, and the
# next one when it is taken: a low display shared with a server that comes and goes loses clients.
display=""
for n in $(seq $((100 + $$ % 400)) $((119 + $$ % 400))); do
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb=$!
  for _ in $(seq 300); do
    kill -0 $xvfb 2>/dev/null || break
    DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1 && { display=":$n"; break; }
    sleep 0.1
  done
  [ -n "$display" ] && break
  kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; xvfb=""
done
[ -n "$display" ] || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=$display
# The gallery on X, with its bridge to AT-SPI on whether or not a screen reader asked for it.
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS
dbus-run-session -- "$python" "$(dirname "$0")/gallery_atspi.py" "$exe" "$work"
