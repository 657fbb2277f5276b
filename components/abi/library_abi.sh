#!/usr/bin/env bash
# The ABI of the shared library as libabigail describes it: its exported functions and variables
# and the types they reach, as the installed headers declare them.
#   library_abi.sh dump LIBRARY HEADERS BASELINE   writes the description of LIBRARY into BASELINE
#   library_abi.sh check LIBRARY HEADERS BASELINE  fails when LIBRARY breaks the ABI of BASELINE
# HEADERS is the folder of the installed headers (include/zq). The library must carry its
# debugging information. A check skips (77) when abidiff is missing.
set -euo pipefail
mode=$1 library=$2 headers=$3 baseline=$4

# Nothing of the build folder's path, of the source lines or of the parameters' names, which
# change with no change of the ABI; and no undefined symbols, which come with the Qt installed.
# Type ids are hashes, so that a new type does not renumber the others.
describe() { # library, output
  abidw --no-corpus-path --no-comp-dir-path --no-show-locs --short-locs --no-parameter-names \
    --drop-undefined-syms --drop-private-types --type-id-style hash \
    --headers-dir "$headers" --out-file "$2" "$1"
}

case $mode in
dump)
  command -v abidw >/dev/null || { echo "abidw is missing: scripts/deps.sh installs abigail-tools"; exit 1; }
  tmp=$(mktemp "$baseline.XXXXXX")
  trap 'rm -f "$tmp"' EXIT
  describe "$library" "$tmp"
  chmod 644 "$tmp"
  mv "$tmp" "$baseline"
  trap - EXIT
  echo "wrote $baseline: $(grep -c '<elf-symbol ' "$baseline") symbols"
  ;;
check)
  command -v abidiff >/dev/null && command -v abidw >/dev/null ||
    { echo "skipped: abidiff or abidw is not installed (abigail-tools)"; exit 77; }
  [ -f "$baseline" ] || { echo "FAIL: no ABI baseline $baseline: cmake --build build --target zq_abi_baseline"; exit 1; }
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  # The library is described as the baseline was, and the two descriptions compared: abidiff reads
  # the headers of a binary by their full paths, which differ from build to build.
  readelf -S "$library" | grep -q '\.debug_info' || { echo "FAIL: $library has no debugging information"; exit 1; }
  describe "$library" "$scratch/built.abi"
  compare() { abidiff --no-show-locs "$@" "$baseline" "$scratch/built.abi"; }
  # abidiff's status is a bit set: 1 an error, 2 a usage error, 4 a change of the ABI, 8 a change
  # that is incompatible.
  status=0
  report=$(compare 2>&1) || status=$?
  [ -z "$report" ] || echo "$report"
  if (( status & 3 )); then echo "FAIL: abidiff could not compare $library with $baseline (status $status)"; exit 1; fi
  if (( status & 12 )); then
    # Added functions and variables leave what programs use as it was; anything else breaks it.
    rest=0
    compare --no-added-syms >/dev/null 2>&1 || rest=$?
    if (( status & 8 || rest != 0 )); then
      echo "FAIL: $library breaks the ABI of $baseline (abidiff status $status)."
      echo "An intended break raises ZQ_VERSION's major number; an intended change updates the baseline in the"
      echo "same commit: cmake --build build --target zq_abi_baseline"
      exit 1
    fi
    echo "ok: $library only adds to the ABI of $baseline; cmake --build build --target zq_abi_baseline records the additions"
    exit 0
  fi
  echo "ok: $library has the ABI of $baseline"
  ;;
*)
  echo "usage: $0 dump|check LIBRARY HEADERS BASELINE" >&2; exit 2 ;;
esac
