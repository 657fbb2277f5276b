#!/usr/bin/env bash
# The game executable exports the library's public names: each argument must name at least one
# defined symbol of its dynamic symbol table, or of a Windows executable's export table (demangled),
# e.g. "LoadResString(" or "TZQDataGrid::".
set -u
exe=$1
shift
if [[ $exe == *.exe ]]; then
  symbols=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | c++filt)
else
  symbols=$(nm -D --defined-only "$exe" | c++filt)
fi
missing=0
for name in "$@"; do
  count=$(grep -cF -- "$name" <<<"$symbols")
  if [ "$count" -eq 0 ]; then
    echo "FAIL: no exported symbol for $name"
    missing=1
  else
    echo "ok: $name ($count symbols)"
  fi
done
exit $missing
