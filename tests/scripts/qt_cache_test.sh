#!/usr/bin/env bash
# scripts/build-qt-mingw.sh on small fake caches: two runs at once fill one cache (one build, one
# unpack of an archive) and both print it; --archive packs a cache that a new cache unpacks whole;
# a cut, changed or foreign archive is refused with nothing left of it in the cache.
set -euo pipefail
script=$(cd "$(dirname "$0")/../.." && pwd)/scripts/build-qt-mingw.sh
command -v flock >/dev/null || { echo "skipped: flock is not installed"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
name=qt-6.4.2-mingw-w64

# The fake build notes each start and takes long enough for the second run to start meanwhile.
cat >"$scratch/fake-build" <<FAKE
#!/bin/sh
echo "\$1" >>"$scratch/builds"
sleep 2
mkdir -p "\$1/bin" && echo dll >"\$1/bin/Qt6Core.dll"
FAKE
chmod +x "$scratch/fake-build"

# Two runs of the script at once on cache $1 with the environment that follows; waits for both.
both() {
  local cache=$1; shift
  for run in 1 2; do
    env ZORVIK_CACHE="$cache" "$@" "$script" >"$scratch/out$run" 2>"$scratch/err$run" &
    eval "pid$run=$!"
    sleep 0.3
  done
  wait "$pid1" || { cat "$scratch/err1"; fail "the first run failed"; }
  wait "$pid2" || { cat "$scratch/err2"; fail "the second run failed"; }
  for run in 1 2; do
    [ "$(tail -n1 "$scratch/out$run")" = "$cache/$name" ] || fail "run $run printed $(cat "$scratch/out$run")"
  done
  [ -f "$cache/$name/.complete" ] || fail "no complete cache in $cache"
  [ "$(ls -A "$cache")" = ".$name.lock"$'\n'"$name" ] || fail "$cache holds $(ls -A "$cache" | tr '\n' ' ')"
}

both "$scratch/built" ZORVIK_QT_BUILD_STEP="$scratch/fake-build"
[ "$(wc -l <"$scratch/builds")" -eq 1 ] || fail "the cache was built $(wc -l <"$scratch/builds") times"
grep -q 'waiting for another run' "$scratch/err2" || fail "the second run did not wait for the first"

# Packing a complete cache, and packing again keeps one checksum line.
mkdir "$scratch/archives"
archive=$scratch/archives/$name.tar.xz
for round in 1 2; do
  ZORVIK_CACHE="$scratch/built" "$script" --archive "$archive" >/dev/null 2>"$scratch/err" || { cat "$scratch/err"; fail "--archive"; }
done
(cd "$scratch/archives" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS does not fit the archive"
[ "$(wc -l <"$scratch/archives/SHA256SUMS")" -eq 1 ] || fail "SHA256SUMS: $(cat "$scratch/archives/SHA256SUMS")"
[ "$(tar -tJf "$archive" | grep -c "^$name/.complete\$")" -eq 1 ] || fail "the archive holds no stamp"

# The lock held here while both runs start, so that both find the cache missing.
mkdir "$scratch/unpacked"
flock "$scratch/unpacked/.$name.lock" sleep 1 &
sleep 0.2
both "$scratch/unpacked" ZORVIK_QT_ARCHIVE="$archive"
[ "$(cat "$scratch/err1" "$scratch/err2" | grep -c '^unpacking')" -eq 1 ] || fail "the archive was not unpacked once: $(cat "$scratch"/err?)"
diff -r "$scratch/built/$name" "$scratch/unpacked/$name" || fail "the unpacked cache differs from the packed one"
[ ! -e "$scratch/builds.2" ] && [ "$(wc -l <"$scratch/builds")" -eq 1 ] || fail "a run built instead of unpacking"

# Archives that are refused, each with the checksum it names beside it unless said otherwise:
# the cache stays absent, nothing is unpacked.
refused() { # what, archive, words the message must hold
  local what=$1 file=$2 words=$3
  local cache=$scratch/refused-$what
  if ZORVIK_CACHE="$cache" ZORVIK_QT_ARCHIVE="$file" ZORVIK_QT_BUILD_STEP="$scratch/fake-build" "$script" >"$scratch/out" 2>"$scratch/err"; then
    fail "$what: the archive was taken"
  fi
  grep -q "refused .*$words" "$scratch/err" || fail "$what: the message is '$(cat "$scratch/err")'"
  [ "$(ls -A "$cache")" = ".$name.lock" ] || fail "$what: $cache holds $(ls -A "$cache" | tr '\n' ' ')"
}
sums() { (cd "$(dirname "$1")" && sha256sum "$(basename "$1")" >SHA256SUMS); }
mkdir "$scratch/cut" "$scratch/cut-summed" "$scratch/foreign" "$scratch/other" "$scratch/nosums"
head -c $(($(stat -c %s "$archive") / 2)) "$archive" >"$scratch/cut/$name.tar.xz"
cp "$scratch/archives/SHA256SUMS" "$scratch/cut/"
refused cut "$scratch/cut/$name.tar.xz" 'checksum'
cp "$scratch/cut/$name.tar.xz" "$scratch/cut-summed/"
sums "$scratch/cut-summed/$name.tar.xz"
refused cut-summed "$scratch/cut-summed/$name.tar.xz" 'does not unpack'
mkdir -p "$scratch/tree/$name"
echo "qt 6.4.2 mingw-w64 0000000000000000" >"$scratch/tree/$name/.complete"
tar -C "$scratch/tree" -cJf "$scratch/foreign/$name.tar.xz" "$name"
sums "$scratch/foreign/$name.tar.xz"
refused other-options "$scratch/foreign/$name.tar.xz" 'no stamp of a complete cache'
mkdir -p "$scratch/tree2/qt-6.5.0-mingw-w64"
cp "$scratch/built/$name/.complete" "$scratch/tree2/qt-6.5.0-mingw-w64/"
tar -C "$scratch/tree2" -cJf "$scratch/other/$name.tar.xz" qt-6.5.0-mingw-w64
sums "$scratch/other/$name.tar.xz"
refused other-folder "$scratch/other/$name.tar.xz" "rather than $name"
cp "$archive" "$scratch/nosums/"
refused no-checksum "$scratch/nosums/$name.tar.xz" 'no SHA256SUMS'
[ "$(wc -l <"$scratch/builds")" -eq 1 ] || fail "a refused archive started a build"
echo "one build and one unpack for two runs each; 5 archives refused"
