#!/usr/bin/env bash
# Installs the Python package with pip, offline and into a private target folder, then runs its
# tests and the README's example with that interpreter against the library.
# Usage: python_package.sh <python> <library> <recordings dir> <model file> <work dir>
set -euo pipefail
sources=$(cd "$(dirname "$0")/../.." && pwd)
python=$1
work=$5
rm -rf "$work"
mkdir -p "$work"
cd "$work"
export GESTAL_LIBRARY=$2 GESTAL_RECORDINGS=$3 GESTAL_MODEL=$4
# A copy, so that the build leaves nothing in the source tree.
cp -r "$sources/bindings/python" package
"$python" -m pip install --quiet --disable-pip-version-check --no-build-isolation --no-deps \
  --no-index --target site ./package 2> pip.log || { cat pip.log; exit 1; }
export PYTHONPATH="$work/site"
installed=$("$python" -c 'import gestal; print(gestal.__file__)')
[ "$installed" = "$work/site/gestal/__init__.py" ] || { echo "imported $installed"; exit 1; }

"$sources/tests/support/readme_block.sh" "$sources/README.md" python > readme.py
output=$("$python" readme.py)
grep -qxF "identified action 1" <<< "$output" || { echo "$output"; exit 1; }
"$python" "$sources/tests/bindings/test_python_package.py"
