#!/usr/bin/env bash
# Builds the C# binding with Mono's compiler as the README says, then runs its tests, the sample
# and the README's example under the Mono runtime against the library in <library dir>.
# Usage: csharp.sh <library dir> <recordings dir> <model file> <work dir>
set -euo pipefail
sources=$(cd "$(dirname "$0")/../.." && pwd)
library_dir=$1
recordings=$2
model=$3
work=$4
rm -rf "$work"
mkdir -p "$work"
cd "$work"
export LD_LIBRARY_PATH="$library_dir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"

mcs -warnaserror -target:library -unsafe -out:Gestal.dll "$sources/bindings/csharp/Gestal.cs"
mcs -warnaserror -r:Gestal.dll -out:BindingTests.exe "$sources/tests/bindings/BindingTests.cs"
mcs -warnaserror -r:Gestal.dll -out:Sample.exe "$sources/bindings/csharp/sample/Sample.cs"
"$sources/tests/support/readme_block.sh" "$sources/README.md" csharp > Readme.cs
mcs -warnaserror -r:Gestal.dll -out:Readme.exe Readme.cs

expect() {  # <expected line> <output>
  grep -qxF "$1" <<< "$2" || { echo "expected the line: $1"; echo "$2"; exit 1; }
}
expect "identified action 1" "$(mono Readme.exe)"
sample=$(mono Sample.exe "$work/sample/" "$recordings"/signature-{1,2,3}.csv)
expect "identified action 1" "$sample"
expect "custom gesture: my gesture" "$sample"
mono BindingTests.exe "$recordings" "$model"
