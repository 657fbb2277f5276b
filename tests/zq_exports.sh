#!/usr/bin/env bash
# The game exports the public names of the zq library, whether it calls them or not.
set -euo pipefail
exports=$(nm -DC --defined-only "$1")
status=0
for name in 'CheckSum(void const*, unsigned long)' \
            'WriteWithCheckSum(QString const&, void const*, unsigned long)' \
            'ReadWithCheckSum(QString const&, void*, unsigned long)'; do
  if ! grep -qF " T $name" <<<"$exports"; then
    echo "not exported: $name"
    status=1
  fi
done
exit $status
