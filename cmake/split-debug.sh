#!/usr/bin/env bash
# Writes a stripped copy of a MinGW-built DLL, with its debug information in
# OUT.debug beside it and linked to it by a .gnu_debuglink section (gdb
# finds it there; without it the file runs all the same).
#
#   cmake/split-debug.sh CPU IN OUT     (CPU: i686 or x86_64)
set -euo pipefail
cpu=${1:?usage: $0 CPU IN OUT} in=$(realpath "${2:?}") out=${3:?}
mkdir -p "$(dirname "$out")"
cd "$(dirname "$out")"
name=$(basename "$out")
"$cpu-w64-mingw32-objcopy" --only-keep-debug "$in" "$name.debug"
"$cpu-w64-mingw32-strip" --strip-all -o "$name" "$in"
"$cpu-w64-mingw32-objcopy" --add-gnu-debuglink="$name.debug" "$name"
