#!/usr/bin/env bash
# Compares the dynamic symbols that a shared library defines with the names of its export map.
set -euo pipefail
lib=$1
map=$2
expected=$(grep -E '^\s+[A-Za-z_][A-Za-z0-9_]*;' "$map" | tr -d ' ;' | sort)
actual=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort)
if [ "$expected" != "$actual" ]; then
  echo "exported symbols differ from $map:"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
echo "exports: $(echo "$actual" | wc -l) functions, as listed"
