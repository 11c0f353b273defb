#!/usr/bin/env bash
# Fails when a source file includes a header of a folder above its own layer, or of the sibling
# subsystem: include < core < store < signatures, gestures < engine < bridge; synth and conditioning
# see core only.
set -u
root=${1:?usage: check_includes.sh SOURCE_DIR}
cd "$root" || exit 2

rank() {
  case $1 in
    include) echo 0 ;; core) echo 1 ;; store) echo 2 ;; signatures | gestures) echo 3 ;;
    engine) echo 4 ;; bridge) echo 5 ;; *) echo -1 ;;
  esac
}

bad=0
for f in core/* store/* signatures/* gestures/* engine/* bridge/* synth/* conditioning/*; do
  case $f in *.h | *.cpp) ;; *) continue ;; esac
  from=${f%%/*}
  for to in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([A-Za-z_]*\)\/.*/\1/p' "$f" | sort -u); do
    [ "$to" = "$from" ] && continue
    if [ "$from" = synth ] || [ "$from" = conditioning ]; then
      allowed=$([ "$to" = core ] && echo yes)
    else
      rf=$(rank "$from") rt=$(rank "$to")
      allowed=$([ "$rt" -ge 0 ] && [ "$rt" -lt "$rf" ] && echo yes)
    fi
    if [ -z "$allowed" ]; then
      echo "$f includes $to/: not a layer below $from/"
      bad=1
    fi
  done
done
exit $bad
