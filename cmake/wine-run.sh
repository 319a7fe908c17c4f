#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own prefix.
#   wine-run.sh [--32] PROGRAM ARGS...
# 64-bit Wine, or with --32 the 32-bit loader (which runs only where the kernel
# runs 32-bit code: in the guest of cmake/win32-lane.sh).
# WINEPREFIX defaults to <build>/wineprefix (the build creates it); a virtual
# display is started when none is set.
set -u
wine=/usr/lib/wine/wine64
if [ "${1:-}" = --32 ]; then
  wine=/usr/lib/wine/wine
  shift
fi
prog=$1; shift
if [ -z "${WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$prog")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  export WINEPREFIX=$dir/wineprefix
fi
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
  # Without a display each run brings its own and ends the prefix's Wine
  # session afterwards, so runs in one prefix must not overlap: take turns.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  for n in $(seq 90 120); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=:$n
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    break
  done
fi
"$wine" "$prog" "$@"
rc=$?
if [ -n "$xvfb_pid" ]; then
  /usr/lib/wine/wineserver -k 2>/dev/null
  kill "$xvfb_pid" 2>/dev/null
fi
exit $rc
