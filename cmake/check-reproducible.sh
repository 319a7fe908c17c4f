#!/usr/bin/env bash
# Builds Quelder.ocx a second time, from the same sources in another folder
# with the same toolchain and build type, and checks that the two files are
# the same bytes.
#
#   cmake/check-reproducible.sh BUILD_DIR
#
# BUILD_DIR is a Windows build that has built Quelder.ocx; the second build
# goes to BUILD_DIR/reproduced.
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
cache() { sed -nE "s/^$1:[A-Z]+=(.*)$/\1/p" "$build/CMakeCache.txt"; }
source=$(cache CMAKE_HOME_DIRECTORY)
first=$build/src/control/Quelder.ocx
again=$build/reproduced
[ -f "$first" ] || { echo "reproducible: $first is missing; build first"; exit 1; }
rm -rf "$again"
cmake -S "$source" -B "$again" -G Ninja -DBUILD_TESTING=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$(cache CMAKE_TOOLCHAIN_FILE)" -DCMAKE_BUILD_TYPE="$(cache CMAKE_BUILD_TYPE)" >/dev/null
cmake --build "$again" --target Quelder >/dev/null
second=$again/src/control/Quelder.ocx
if cmp -s "$first" "$second"; then
  echo "reproducible: $(stat -c %s "$first") bytes, the same in $build and $again"
  rm -rf "$again"
  exit 0
fi
echo "reproducible: FAILED: $first ($(stat -c %s "$first") bytes) and $second ($(stat -c %s "$second") bytes) differ"
echo "first differing bytes (offset, octal values):"
cmp -l "$first" "$second" | head -n 8
exit 1
