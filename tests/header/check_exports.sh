#!/usr/bin/env bash
# The functions a shared library defines, the names of its export map and the functions the public
# header declares are the same set.
set -euo pipefail
lib=$1
map=$2
header=$3
declared=$(grep -oP '^GESTAL_API\b[^(]*?\b\K[A-Za-z_][A-Za-z0-9_]*(?=\()' "$header" | sort)
listed=$(grep -E '^\s+[A-Za-z_][A-Za-z0-9_]*;' "$map" | tr -d ' ;' | sort)
defined=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort)
status=0
for pair in "listed:$map" "defined:$lib"; do
  name=${pair%%:*}
  if [ "${!name}" != "$declared" ]; then
    echo "the functions of ${pair#*:} differ from those $header declares:"
    diff <(echo "$declared") <(echo "${!name}") || true
    status=1
  fi
done
echo "exports: $(echo "$defined" | wc -l) functions, $(echo "$declared" | grep -c '^Gestal') of them host controls"
exit $status
