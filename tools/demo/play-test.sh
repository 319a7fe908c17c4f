#!/usr/bin/env bash
# The demo's self-play as a test: registers Quelder.ocx in the Wine prefix
# named by WINEPREFIX, then runs QuelderDemo.exe --play under Wine (on a
# virtual display when none is set) and passes on its exit code.
#
#   play-test.sh QuelderDemo.exe Quelder.ocx picture.bmp
set -u
demo=$1 ocx=$2 picture=$3
: "${WINEPREFIX:?set WINEPREFIX to the Wine prefix of the build}"
wine_run=${QUELDER_WINE_RUN:-$(cd "$(dirname "$0")/../../cmake" && pwd)/wine-run.sh}
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="

# Z:\path\to\file for an absolute Linux path.
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

if ! /usr/lib/wine/wine64 regsvr32 /s "$(winpath "$ocx")"; then
  echo "play-test: regsvr32 $ocx failed" >&2
  exit 1
fi
rm -f "$picture"
"$wine_run" "$demo" --play "$(winpath "$picture")"
rc=$?
if [ $rc -eq 0 ] && [ ! -s "$picture" ]; then
  echo "play-test: the demo passed but left no picture at $picture" >&2
  rc=1
fi
exit $rc
