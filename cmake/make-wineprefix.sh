#!/usr/bin/env bash
# Creates the build's private Wine prefix (headless; about ten seconds).
set -eu
prefix=$1
mkdir -p "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
/usr/lib/wine/wineserver -w
touch "$prefix/.created"
