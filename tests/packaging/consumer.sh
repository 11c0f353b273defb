#!/usr/bin/env bash
# Builds the README's C host as another project would, runs it and checks what it reports.
#   consumer.sh install <build dir> <prefix>      installs the build into a fresh prefix
#   consumer.sh compilers <build dir> <work dir>  gcc -std=c99 and g++, against the build tree
#   consumer.sh find_package <prefix> <work dir>  the README's CMake project, installed package
#   consumer.sh build_tree <build dir> <work dir> the same project, package of the build tree
#   consumer.sh pkg_config <prefix> <work dir>    the README's pkg-config commands
#   consumer.sh add_subdirectory - <work dir>     the README's CMake project over the sources
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sources=$(cd "$here/../.." && pwd)
mode=$1
from=$2
work=$3

if [ "$mode" = install ]; then
  rm -rf "$work"
  cmake --install "$from" --prefix "$work" > /dev/null
  version=$(sed -n 's/^#define GESTAL_VERSION_STRING "\(.*\)"$/\1/p' "$sources/include/gestal.h")
  soname=$(readelf -d "$work/lib/libgestal.so.$version" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
  [ "$soname" = libgestal.so.1 ] || { echo "soname: '$soname'"; exit 1; }
  [ "$(readlink "$work/lib/libgestal.so")" = libgestal.so.1 ] || { echo "no libgestal.so link"; exit 1; }
  "$work/bin/gestal" --help | grep -q '^Usage: ' || { echo "no working bin/gestal"; exit 1; }
  echo "installed into $work, soname $soname"
  exit 0
fi

rm -rf "$work"
mkdir -p "$work"
cd "$work"
"$sources/tests/support/readme_block.sh" "$sources/README.md" c > host.c

# Runs a built host on a fresh database directory and checks its own lines.
check() {
  local output
  output=$("$1" "$work/db-$(basename "$1")/" "$2")
  for line in "enrolment of action 1: error 0, progress 1.00, complexity 0" \
    "identified action 1: error 0 (-1 trials left, locked for -1 s)"; do
    grep -qxF "$line" <<< "$output" || { echo "$1 did not report: $line"; echo "$output"; exit 1; }
  done
  echo "$1: ran"
}

cmake_host() {
  "$sources/tests/support/readme_block.sh" "$sources/README.md" cmake > CMakeLists.txt
  [ "$mode" != add_subdirectory ] ||
    sed -i "s|^find_package(gestal 1 REQUIRED).*|add_subdirectory($sources gestal)|" CMakeLists.txt
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release "$@" > configure.log || { cat configure.log; exit 1; }
  cmake --build build -j 2 > build.log || { cat build.log; exit 1; }
}

case $mode in
  compilers)
    gcc -std=c99 -Wall -Werror -I"$sources/include" host.c -L"$from" -lgestal -Wl,-rpath,"$from" -o host_c
    g++ -Wall -Werror -x c++ -I"$sources/include" host.c -L"$from" -lgestal -Wl,-rpath,"$from" -o host_cxx
    check ./host_c "$sources/models/gestal_gesture_adaboost"
    check ./host_cxx "$sources/models/gestal_gesture_adaboost"
    ;;
  find_package)
    cmake_host -DCMAKE_PREFIX_PATH="$from"
    check build/host "$from/share/gestal/gestal_gesture_adaboost"
    ;;
  build_tree)
    cmake_host -Dgestal_DIR="$from"
    check build/host "$sources/models/gestal_gesture_adaboost"
    ;;
  add_subdirectory)
    cmake_host
    check build/host "$sources/models/gestal_gesture_adaboost"
    ;;
  pkg_config)
    export PKG_CONFIG_PATH="$from/lib/pkgconfig" LD_LIBRARY_PATH="$from/lib"
    "$sources/tests/support/readme_block.sh" "$sources/README.md" sh > build.sh
    # The README's second line runs the host; here check() runs it on a fresh directory.
    head -1 build.sh | bash
    check ./host "$(pkg-config --variable=modeldir gestal)/gestal_gesture_adaboost"
    ;;
  *)
    echo "unknown mode $mode"
    exit 2
    ;;
esac
