#!/bin/bash
# Writes the package a Windows developer takes away: for each bitness the
# stripped Quelder.ocx with its debug information beside it (linked to it by
# a .gnu_debuglink section) and the assembly manifest for registration-free
# use, the IDL, the C/C++ header and GUID definitions,
# INSTALL.txt, and one zip of all of it named with the version.
#
#   cmake/package.sh BUILD_DIR    (BUILD_DIR holds the win32 and win64 builds)
#
# Fails when a build is missing or a packaged Quelder.ocx is over its size.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
out=$build/package
# The most a packaged Quelder.ocx may weigh.
max_size=1500000

version_header=$build/win64/generated/quelder_version.h
[ -f "$version_header" ] || { echo "package: $version_header is missing; build first" >&2; exit 1; }
number() { sed -nE "s/^#define QUELDER_VERSION_$1 ([0-9]+)$/\1/p" "$version_header"; }
version=$(number MAJOR).$(number MINOR).$(number REVISION)

rm -rf "$out"
mkdir -p "$out/include"
status=0
for pair in x86:win32:i686 x64:win64:x86_64; do
  IFS=: read -r arch dir cpu <<<"$pair"
  ocx=$build/$dir/src/control/Quelder.ocx
  [ -f "$ocx" ] || { echo "package: $ocx is missing; build first" >&2; exit 1; }
  manifest=$build/$dir/src/control/Quelder.X.manifest
  [ -f "$manifest" ] || { echo "package: $manifest is missing; build first" >&2; exit 1; }
  "$root/cmake/split-debug.sh" "$cpu" "$ocx" "$out/$arch/Quelder.ocx"
  cp "$manifest" "$out/$arch/"
  size=$(stat -c %s "$out/$arch/Quelder.ocx")
  exports=$("$cpu-w64-mingw32-objdump" -p "$out/$arch/Quelder.ocx")
  for export in DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer DllInstall; do
    grep -qw "$export" <<<"$exports" ||
      { echo "package: $arch/Quelder.ocx does not export $export" >&2; status=1; }
  done
  if [ "$size" -gt "$max_size" ]; then
    echo "package: $arch/Quelder.ocx is $size bytes, over $max_size" >&2; status=1
  fi
  echo "package: $arch/Quelder.ocx $size bytes, debug information $(stat -c %s "$out/$arch/Quelder.ocx.debug") bytes"
done

cp "$root/src/control/Quelder.idl" "$out/include/"
cp "$build/win64/generated/Quelder_h.h" "$out/include/Quelder.h"
cp "$build/win64/generated/Quelder_i.c" "$out/include/Quelder_i.c"
sed "s/@VERSION@/$version/g" "$root/cmake/INSTALL.txt.in" >"$out/INSTALL.txt"

zip=Quelder-$version.zip
(cd "$out" && cmake -E tar cf "$zip" --format=zip -- INSTALL.txt include x86 x64)
echo "package: $out/$zip"
exit $status
