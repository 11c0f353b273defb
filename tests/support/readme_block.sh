#!/usr/bin/env bash
# Prints the first fenced block of the given language in a Markdown file.
# Usage: readme_block.sh <file.md> <language>
set -euo pipefail
awk -v fence='```'"$2" '
  !inside && $0 == fence { inside = 1; next }
  inside && $0 == "```" { found = 1; exit }
  inside { print }
  END { if (!found) { print "no complete ```" substr(fence, 4) " block" > "/dev/stderr"; exit 1 } }
' "$1"
