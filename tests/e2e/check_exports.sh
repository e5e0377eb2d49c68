#!/usr/bin/env bash
# A module must show the host its entry points and nothing else.
#   check_exports.sh MODULE.so NAME...
set -euo pipefail
module="$1"; shift
expected=$(printf '%s\n' "$@" | sort)
actual=$(nm -D --defined-only "$module" | awk '{print $3}' | sort)
if [ "$actual" != "$expected" ]; then
  echo "$module exports:"; echo "$actual"
  echo "expected:"; echo "$expected"
  exit 1
fi
echo "$module exports exactly: $(echo $actual)"
