#!/usr/bin/env bash
# The library exports its interface and nothing else, and calls its own code: each defined dynamic
# symbol of LIBRARY must belong to a class or free function that the headers under INCLUDE/zq
# declare with ZQ_EXPORT (a class's members, type information, virtual table and the members moc
# writes for it included), and no function the library defines may be reached through a dynamic
# relocation, where a program's function of the same name would take its place.
# Usage: exported_symbols.sh LIBRARY INCLUDE
set -euo pipefail
library=$1
headers=$(find "$2/zq" -name '*.h' | sort)
[ -n "$headers" ] || { echo "FAIL: no headers under $2/zq"; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# What the headers declare: exported classes (the exception macro's among them), exported free
# functions, namespaces, and every word, which a member's name must be among.
cat $headers >"$scratch/headers"
{
  grep -ohE '(class|struct) ZQ_EXPORT [A-Za-z_][A-Za-z_0-9]*' "$scratch/headers" | awk '{print $3}'
  grep -ohE '^ZQ_DECLARE_EXCEPTION\([A-Za-z_][A-Za-z_0-9]*' "$scratch/headers" | sed 's/.*(//'
} | sort -u >"$scratch/classes"
grep -ohE '^ZQ_EXPORT [^;(]*[A-Za-z_][A-Za-z_0-9]*\(' "$scratch/headers" |
  sed -E 's/.*[^A-Za-z_0-9]([A-Za-z_][A-Za-z_0-9]*)\($/\1/' | sort -u >"$scratch/functions"
grep -ohE '^namespace [A-Za-z_][A-Za-z_0-9]*' "$scratch/headers" | awk '{print $2}' | sort -u >"$scratch/namespaces"
grep -ohE '[A-Za-z_][A-Za-z_0-9]*' "$scratch/headers" | sort -u >"$scratch/words"
# Operators are members too, named by their symbol: operator=, operator==.
grep -ohE 'operator *[^A-Za-z_0-9 (][^ (]*' "$scratch/headers" | tr -d ' ' | sort -u >>"$scratch/words"
[ -s "$scratch/classes" ] && [ -s "$scratch/functions" ] || { echo "FAIL: the headers mark nothing ZQ_EXPORT"; exit 1; }

nm -D --defined-only "$library" | awk '{print $3}' | sed 's/@.*//' >"$scratch/mangled"
c++filt <"$scratch/mangled" >"$scratch/symbols"
echo "$(wc -l <"$scratch/symbols") exported symbols, $(wc -l <"$scratch/classes") classes, $(wc -l <"$scratch/functions") functions"

awk -v dir="$scratch" '
  BEGIN {
    while ((getline line < (dir "/classes")) > 0) classes[line] = 1
    while ((getline line < (dir "/functions")) > 0) functions[line] = 1
    while ((getline line < (dir "/namespaces")) > 0) namespaces[line] = 1
    while ((getline line < (dir "/words")) > 0) words[line] = 1
    split("metaObject qt_metacall qt_metacast qt_static_metacall staticMetaObject", list, " ")
    for (i in list) moc[list[i]] = 1
    split("__bss_start _edata _end _init _fini", list, " ")
    for (i in list) linker[list[i]] = 1
  }
  # Splits the name in front of the argument list at the scope operators outside template arguments.
  function scopes(name, parts,    depth, i, c, n, part) {
    depth = 0; n = 0; part = ""
    for (i = 1; i <= length(name); i++) {
      c = substr(name, i, 1)
      if (c == "<") depth++
      else if (c == ">") depth--
      else if (c == "(" && depth == 0) break
      if (depth == 0 && substr(name, i, 2) == "::") { parts[++n] = part; part = ""; i++; continue }
      part = part c
    }
    parts[++n] = part
    return n
  }
  {
    name = $0
    if (name in linker) next
    # What a sanitizer adds to an instrumented build (ODR indicators of the globals) is not ours.
    if (name ~ /^_*(odr_asan_gen_|asan_|ubsan_|sanitizer_)/) next
    sub(/^(typeinfo name for|typeinfo for|vtable for|VTT for|construction vtable for|non-virtual thunk to|virtual thunk to|guard variable for) /, "", name)
    sub(/ \[clone [^]]*\]$/, "", name)
    delete parts
    n = scopes(name, parts)
    first = 1
    while (first < n && (parts[first] in namespaces)) first++
    head = parts[first]
    ok = 0
    if (first == n) ok = (head in classes) || (head in functions)
    else if (head in classes) {
      member = parts[first + 1]
      sub(/^~/, "", member)
      ok = (member == head) || (member in moc) || (member in words)
    }
    if (!ok) { print "FAIL: exported, but no installed header declares it: " $0; bad = 1 }
  }
  END { exit bad }
' "$scratch/symbols" || exit 1

# Functions the library defines, reached by a relocation against their name: interposable.
readelf -W --dyn-syms "$library" | awk '$4 ~ /FUNC/ && $7 != "UND" {sub(/@.*/, "", $8); print $8}' | sort -u >"$scratch/defined"
readelf -W -r "$library" | awk 'NF >= 5 && $3 ~ /^R_/ {print $5}' | sed 's/@.*//' | sort -u >"$scratch/referenced"
interposable=$(comm -12 "$scratch/defined" "$scratch/referenced" | c++filt)
[ -z "$interposable" ] || { echo "FAIL: the library calls these of its own through the symbol table:"; echo "$interposable"; exit 1; }
echo "ok: the library exports only what its headers declare, and calls its own functions directly"
