#!/usr/bin/env bash
# Runs the demo host on the 64-bit Quelder.ocx (what `./quelder.sh demo` calls).
#
#   tools/demo/run-demo.sh BUILD     BUILD: the folder holding win64/ (./build)
#
# Registers build/win64/src/control/Quelder.ocx in the build's own Wine
# prefix (build/win64/wineprefix) and starts QuelderDemo.exe on the display
# named by DISPLAY. Without a display it starts a virtual one, lets the demo
# play a short game by itself and saves a picture of its window as
# BUILD/demo-screenshot.png.
set -euo pipefail
build=$(cd "${1:?usage: run-demo.sh BUILD}" && pwd)
win64=$build/win64
ocx=$win64/src/control/Quelder.ocx
demo=$win64/tools/demo/QuelderDemo.exe
wine=/usr/lib/wine/wine64
export WINEPREFIX=$win64/wineprefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="

say() { printf '== %s\n' "$*"; }
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

for f in "$ocx" "$demo"; do
  [ -f "$f" ] || { echo "run-demo: $f is missing; build first (./quelder.sh build)" >&2; exit 1; }
done
if [ ! -f "$WINEPREFIX/.created" ]; then
  say "creating the Wine prefix $WINEPREFIX"
  "$(dirname "${BASH_SOURCE[0]}")/../../cmake/make-wineprefix.sh" "$WINEPREFIX"
fi

# Wine keeps the display its session started with: let a session of this
# prefix that is still ending finish before choosing one.
/usr/lib/wine/wineserver -w

if [ -n "${DISPLAY:-}" ]; then
  say "registering $ocx in $WINEPREFIX"
  "$wine" regsvr32 /s "$(winpath "$ocx")"
  say "starting the demo on $DISPLAY (close its window to end)"
  exec "$wine" "$demo"
fi

# No display: a virtual one, and the demo plays by itself.
xvfb_pid=
for n in $(seq 99 130); do
  { [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; } && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  break
done
[ -n "$xvfb_pid" ] || { echo "run-demo: no free display number for Xvfb" >&2; exit 1; }
stop() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap stop EXIT
say "registering $ocx in $WINEPREFIX"
"$wine" regsvr32 /s "$(winpath "$ocx")"
say "no display set: the demo plays by itself on the virtual display $DISPLAY"

bmp=$build/demo-screenshot.bmp
png=$build/demo-screenshot.png
rm -f "$bmp" "$png"
status=0
"$wine" "$demo" --play "$(winpath "$bmp")" || status=$?
if [ -s "$bmp" ]; then
  /usr/bin/convert "$bmp" "$png"
  rm -f "$bmp"
  say "the demo's window after its game: $png"
fi
if [ $status -ne 0 ]; then
  echo "run-demo: the demo did not play as expected (exit code $status)" >&2
fi
exit $status
