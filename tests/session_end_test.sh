#!/usr/bin/env bash
# Copies of the real game ended together as a session ends them, each started on another table
# (the state file replaced between the starts, as an outside save would): every copy's records
# must be in the file afterwards, and every copy must have ended within the save's bounded wait.
#  - signalled: SIGTERM to every copy at the same instant, five times 1 ms apart;
#  - logout: SIGTERM to every copy and to the display server at the same instant;
#  - display-gone: the display server ends first, as it may at a logout;
#  - terminal: a copy started from a terminal that is then closed.
# Skips (77) where there is no Xvfb.
set -u
exe=$1
for tool in Xvfb xdotool script od; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
xvfb=""
trap 'kill -9 $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
source "$(dirname "$0")/xvfb.sh"
# A display of its own for each round: the server is ended with the copies.
new_display() { rm -f "$work/display"; start_xvfb "$work"; }
unset QT_QPA_PLATFORM
cp "$exe" "$work/Zorvik"
state=$work/Zorvik.dat
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# record NAME SCORE: 48 bytes, no date.
record() {
  local name=$1 score=$2
  printf '%s' "$name"
  head -c $((32 - ${#name})) /dev/zero
  head -c 8 /dev/zero
  printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $((score & 255)) $(((score >> 8) & 255)) $(((score >> 16) & 255)) $(((score >> 24) & 255)))"
  head -c 4 /dev/zero
}

# table NAME:SCORE...: a whole state file, the records in the order given, replacing the old one by
# a rename as a save does.
table() {
  {
    head -c 40 /dev/zero
    local n=0
    for entry in "$@"; do record "${entry%%:*}" "${entry##*:}"; n=$((n + 1)); done
    head -c $((48 * (10 - n))) /dev/zero
  } >"$state.new"
  mv "$state.new" "$state"
}

# The records of the state file as NAME:SCORE, best first.
records() {
  for i in $(seq 0 9); do
    local score name
    score=$(od -An -t d4 -j $((40 + 48 * i + 40)) -N4 "$state" | tr -d ' ')
    [ "$score" -gt 0 ] || continue
    name=$(dd if="$state" bs=1 skip=$((40 + 48 * i)) count=32 2>/dev/null | tr -d '\0')
    printf '%s:%s ' "$name" "$score"
  done
}

# start_copy DISPLAY: a copy of the game; its process in pid once its window is up.
start_copy() {
  (cd "$work" && DISPLAY=$1 exec ./Zorvik) >>"$work/game.log" 2>&1 &
  pid=$!
  for _ in $(seq 300); do
    DISPLAY=$1 xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# ended_within SECONDS PID...: every process has ended within the time.
ended_within() {
  local seconds=$1; shift
  for _ in $(seq $((seconds * 10))); do
    local alive=0
    for p in "$@"; do kill -0 "$p" 2>/dev/null && alive=1; done
    [ $alive -eq 0 ] && return 0
    sleep 0.1
  done
  return 1
}

# round HOW COPIES: starts the copies on their tables and ends them HOW; checks the union.
round() {
  local how=$1 copies=$2 pids=() expected="Top:900 "
  rm -f "$state"
  new_display || { echo "skipped: Xvfb did not start"; cat "$work/xvfb.log"; exit 77; }
  for i in $(seq 0 $((copies - 1))); do
    # Each copy sees a record that the next table no longer holds.
    table Top:900 "Only$i:$((100 + i))"
    start_copy "$display" || { fail "$how: copy $i has no window"; cat "$work/game.log"; return; }
    pids+=("$pid")
  done
  for i in $(seq $((copies - 1)) -1 0); do expected+="Only$i:$((100 + i)) "; done
  case $how in
    signalled)
      for _ in 1 2 3 4 5; do kill -TERM "${pids[@]}" 2>/dev/null; sleep 0.001; done ;;
    logout)
      kill -TERM "${pids[@]}" "$xvfb" ;;
    display-gone)
      kill -TERM "$xvfb" ;;
  esac
  ended_within 10 "${pids[@]}" || fail "$how: $copies copies still running after 10 s"
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
  local got
  got=$(records)
  [ "$got" = "$expected" ] || fail "$how, $copies copies: the file holds '$got', not '$expected'"
  [ "$(stat -c %s "$state")" -eq 520 ] || fail "$how: the file is not 520 bytes"
  echo "$how, $copies copies: $got"
}

round signalled 2
round signalled 3
round logout 2
round logout 3
round display-gone 2

# A terminal closed under a running copy: its session gets the hangup.
rm -f "$state"
new_display || { echo "skipped: Xvfb did not start"; exit 77; }
table Top:900 Mine:300
setsid script -qfec "cd '$work' && DISPLAY=$display exec ./Zorvik" /dev/null >/dev/null 2>&1 &
terminal=$!
game=""
for _ in $(seq 300); do
  game=$(DISPLAY=$display xdotool search --onlyvisible --name '^Zorvik$' getwindowpid 2>/dev/null | head -n1)
  [ -n "$game" ] && break
  sleep 0.1
done
if [ -z "$game" ]; then
  fail "terminal: no window"
else
  table Top:900 Other:200
  kill -KILL "$terminal"
  wait "$terminal" 2>/dev/null
  ended_within 10 "$game" || fail "terminal: the copy still runs 10 s after its terminal closed"
  got=$(records)
  [ "$got" = "Top:900 Mine:300 Other:200 " ] || fail "terminal: the file holds '$got'"
  echo "terminal closed: $got"
fi
kill "$xvfb" 2>/dev/null

[ $failed -eq 0 ] || { cat "$work/game.log"; exit 1; }
echo "ok"
