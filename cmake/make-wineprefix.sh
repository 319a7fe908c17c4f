#!/usr/bin/env bash
# Creates a Wine prefix for the tests (headless; about ten seconds on the
# machine itself): 64-bit, or 32-bit when WINEARCH=win32 (in the guest of
# cmake/win32-lane.sh).
#
#   cmake/make-wineprefix.sh PREFIX
#
# The tests' displays run no window manager, and Wine is told so (X11 Driver,
# Managed = N): a Wine that manages its windows waits for the window manager
# to answer each time a window is hidden or destroyed, two seconds when none
# does. Wine then places, shows, frames and activates its windows itself.
# The demo host's window stays managed: on a desktop its window manager
# frames it, and its pictures (docs/) look as they always did.
set -eu
prefix=$1
mkdir -p "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
[ "${WINEARCH:-}" != win32 ] || wine=/usr/lib/wine/wine
"$wine" wineboot -i >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\AppDefaults\QuelderDemo.exe\X11 Driver' /v Managed /d Y /f >/dev/null 2>&1
# Under the guest's emulation the debugger Wine starts for a fault that no
# one handles takes longer than a test may: there a faulting program just
# ends, after Wine's line that says where.
[ "${WINEARCH:-}" != win32 ] ||
  "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f >/dev/null 2>&1
/usr/lib/wine/wineserver -w
touch "$prefix/.created"
