#!/usr/bin/env bash
# Registration-free use, in a fresh Wine prefix where nothing is registered:
# a host folder holds quelder_activation_test.exe with its application
# manifest, and the stripped Quelder.ocx (its .debug file left out) with the
# assembly manifest Quelder.X.manifest. The host must get the control from
# that file by ProgID and by CLSID, script it and host it in AtlAxWin. Then
# the same host without its manifest must find no class at all, with COM's
# errors for a class that is not there.
#
#   registration_free.sh CPU OCX TEST_EXE WORK_DIR [PREFIX]   (CPU: i686 or x86_64)
#
# The prefix is made in WORK_DIR, with a screen of 192 dots per inch (Wine's
# LogPixels), at which the board class starts twice as large, and its session
# gets a virtual display of its own: the test takes no turn at the other
# tests' display and runs beside them. Or PREFIX is used, one just made whose
# Wine session is running (side_by_side.sh checks this first in its own).
set -euo pipefail
cpu=$1 ocx=$2 test_exe=$3 work=$4 given_prefix=${5:-}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
if [ "$cpu" = i686 ]; then
  wine=/usr/lib/wine/wine arch=x86
  [ -n "$given_prefix" ] || export WINEARCH=win32
else
  wine=/usr/lib/wine/wine64 arch=amd64
fi
export WINEPREFIX=${given_prefix:-$work/prefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
failures=0 passes=0
check() {  # description, then the command; its output is shown
  local what=$1; shift
  if "$@"; then
    passes=$((passes + 1)); echo "ok: $what"
  else
    failures=$((failures + 1)); echo "FAILED: $what"
  fi
}

rm -rf "$work"
mkdir -p "$work/host"
cleanup() {
  [ -n "$given_prefix" ] || /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -z "${own_display_pid:-}" ] || kill "$own_display_pid" 2>/dev/null || true
}
trap cleanup EXIT
"$root/cmake/split-debug.sh" "$cpu" "$ocx" "$work/host/Quelder.ocx"
rm "$work/host/Quelder.ocx.debug"
cp "$(dirname "$ocx")/Quelder.X.manifest" "$test_exe" "$work/host/"
version=$(sed -nE 's/.*<assemblyIdentity type="win32" name="Quelder.X" version="([0-9.]+)".*/\1/p' \
  "$work/host/Quelder.X.manifest" | tail -n 1)
cat >"$work/host/quelder_activation_test.exe.manifest" <<MANIFEST
<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="QuelderActivationTest" version="1.0.0.0" processorArchitecture="$arch"/>
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Quelder.X" version="$version" processorArchitecture="$arch"/>
    </dependentAssembly>
  </dependency>
</assembly>
MANIFEST

if [ -z "$given_prefix" ]; then
  . "$root/cmake/own-display.sh"
  own_display "$work" || { echo "FAILED: Xvfb did not start"; echo "0 passed, 1 failed"; exit 1; }
    start=$(date +%s)
  "$root/cmake/make-wineprefix.sh" "$WINEPREFIX"
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 192 /f >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
  export QUELDER_DPI=192
  echo "fresh prefix made in $(($(date +%s) - start)) s (display $DISPLAY)"
  # The session's desktop first, as the lane starts its own: under emulation
  # a program that must start it waits only so long and then gets no window.
  /usr/lib/wine/wineserver -p >/dev/null 2>&1
  "$wine" explorer.exe /desktop >/dev/null 2>&1 &
  sleep "$([ -n "${QUELDER_EMULATED:-}" ] && echo 15 || echo 2)"
fi

host="Z:$(sed 's|/|\\|g' <<<"$work/host")"
check "with its manifest the host gets the control from $host\\Quelder.ocx" \
  "$wine" "$work/host/quelder_activation_test.exe" "$host\\Quelder.ocx"
rm "$work/host/quelder_activation_test.exe.manifest"
# Which also shows that nothing was registered: neither the ProgID, nor the
# class, nor the type library is there.
check "without its manifest the host finds no Quelder" \
  "$wine" "$work/host/quelder_activation_test.exe" "$host\\Quelder.ocx" --absent

echo "$passes passed, $failures failed"
exit "$failures"
