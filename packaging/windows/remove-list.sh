#!/usr/bin/env bash
# Writes the uninstaller's lines that remove what a staged folder holds: each file, then each folder
# from the deepest up (a folder still holding something else stays).
set -euo pipefail
stage=$1
cd "$stage"
find . -mindepth 1 -type f | sed -e 's|^\./||' -e 's|/|\\|g' | sort | while IFS= read -r file; do
  printf 'Delete "$INSTDIR\\%s"\n' "$file"
done
find . -mindepth 1 -type d | sed -e 's|^\./||' -e 's|/|\\|g' | sort -r | while IFS= read -r folder; do
  printf 'RMDir "$INSTDIR\\%s"\n' "$folder"
done
