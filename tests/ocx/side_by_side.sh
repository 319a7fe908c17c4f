#!/usr/bin/env bash
# Both bitnesses registered at once, as on 64-bit Windows: a fresh 64-bit
# (WoW64) Wine prefix gets the 64-bit and the 32-bit Quelder.ocx, each with
# its own regsvr32; a host of each bitness must then be served by its own
# file. Unregistering one file leaves the other working and keeps what both
# share (ProgID, type library, interfaces); the last one takes everything.
# Runs where 32-bit Wine runs: in the guest of cmake/win32-lane.sh.
#
#   side_by_side.sh WIN32_BUILD WIN64_BUILD
#
# As on Windows, Wine 8 keeps CLSID and Interface keys apart for each
# bitness (a 32-bit process's are under Classes\Wow6432Node) and shares the
# ProgID and TypeLib keys. Unlike Windows, its 64-bit reg.exe with /reg:32
# looks for every class key under Wow6432Node, shared ones too, and so misses
# the ProgID: each view is read here by the reg.exe of its own bitness.
set -euo pipefail
build32=${1:?usage: side_by_side.sh WIN32_BUILD WIN64_BUILD}
build64=${2:-}
setup_failure() {
  echo "side by side: $*"
  echo "0 passed, 1 failed"
  exit 1
}
[ -n "$build64" ] ||
  setup_failure "the 64-bit build is not known: configure this 32-bit build with" \
    "-DQUELDER_WIN64_BUILD=/path/to/build/win64 (quelder.sh passes its build/win64)"
[ -x /usr/lib/wine/wine ] || setup_failure "no 32-bit Wine loader /usr/lib/wine/wine (package wine32:i386)"

ocx32=$build32/src/control/Quelder.ocx
ocx64=$build64/src/control/Quelder.ocx
host32=$build32/tests/ocx/quelder_activation_test.exe
host64=$build64/tests/ocx/quelder_activation_test.exe
for file in "$ocx32" "$ocx64" "$host32" "$host64"; do
  [ -f "$file" ] || setup_failure "$file is missing (build both builds first)"
done
win() { printf 'Z:%s' "${1//\//\\}"; }

wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine
# The prefix (1.3 GB) lies under /tmp: in the guest that is memory, where
# Wine makes it about four times as fast as in the build tree, which the
# guest reaches over 9p. It goes when the test ends.
work=$(mktemp -d "${TMPDIR:-/tmp}/quelder-side-by-side.XXXXXX")
unset WINEARCH
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  /usr/lib/wine/wineserver -w 2>/dev/null || true
  [ -z "${own_display_pid:-}" ] || kill "$own_display_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of its own: this test's windows come from another Wine session
# than the other tests', which must not find them on their display. So it
# needs no turn at the shared one and runs beside the other tests.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
. "$root/cmake/own-display.sh"
own_display "$work" || setup_failure "Xvfb did not start"

start=$(date +%s)
"$root/cmake/make-wineprefix.sh" "$WINEPREFIX" || setup_failure "the Wine prefix could not be made"
[ -d "$WINEPREFIX/drive_c/windows/syswow64" ] ||
  setup_failure "$WINEPREFIX is no 64-bit prefix with a 32-bit side (no windows/syswow64)"
echo "== WoW64 prefix made in $(($(date +%s) - start)) s (display $DISPLAY)"
# The session stays up, its desktop started now: under emulation a host that
# had to start it itself would wait only so long and then get no window. The
# first host runs 15 s after this at the soonest (2 s on the machine itself).
/usr/lib/wine/wineserver -p
"$wine64" explorer.exe /desktop >/dev/null 2>&1 &
desktop_ready=$(($(date +%s) + $([ -n "${QUELDER_EMULATED:-}" ] && echo 15 || echo 2)))

passed=0 failed=0
checks_began=$(date +%s)
# A step of the scenario, with the seconds since the checks began.
section() { echo "== $* ($(($(date +%s) - checks_began)) s in)"; }
pass() { echo "ok: $*"; passed=$((passed + 1)); }
fail() { echo "FAILED: $*"; failed=$((failed + 1)); }

# A step that must succeed: regsvr32 of one bitness on one file.
#   regsvr 32|64 [/u] FILE
regsvr() {
  local bits=$1 rc=0
  shift
  if [ "$bits" = 64 ]; then
    "$wine64" regsvr32 /s "${@:1:$#-1}" "$(win "${!#}")" || rc=$?
  else
    # The 32-bit loader's system32 is windows/syswow64: the 32-bit regsvr32.
    "$wine32" 'C:\windows\syswow64\regsvr32.exe' /s "${@:1:$#-1}" "$(win "${!#}")" || rc=$?
  fi
  if [ "$rc" -eq 0 ]; then pass "$bits-bit regsvr32 $*"; else fail "$bits-bit regsvr32 $* (exit code $rc)"; fi
}

# The host of one bitness: served by FILE, or with --absent finding no class.
# What it printed of its checks is shown; all of it when it failed.
#   host 32|64 FILE [--absent]
host() {
  local bits=$1 file=$2 output rc=0
  shift 2
  while [ "$(date +%s)" -lt "$desktop_ready" ]; do sleep 1; done
  if [ "$bits" = 64 ]; then
    output=$("$wine64" "$(win "$host64")" "$(win "$file")" "$@" 2>&1) || rc=$?
  else
    output=$("$wine32" "$(win "$host32")" "$(win "$file")" "$@" 2>&1) || rc=$?
  fi
  output=$(sed 's/\r$//; /^$/d; s/^/    /' <<<"$output")
  if [ "$rc" -eq 0 ]; then
    grep -Ev '^    \[(==========|----------| RUN      )\]|^    Running main' <<<"$output" || true
    pass "$bits-bit host, $file${*:+ $*}"
  else
    echo "$output"
    fail "$bits-bit host, $file${*:+ $*}: exit code $rc"
  fi
}

# One key as a process of one bitness sees it: present (with each TEXT in
# what reg query /s shows of it) or absent.
#   key present|absent 32|64 KEY [TEXT...]
key() {
  local want=$1 view=$2 path=$3 output rc text missing= attempt
  shift 3
  for attempt in 1 2; do
    rc=0
    if [ "$view" = 64 ]; then
      output=$("$wine64" reg query "$path" /s 2>&1) || rc=$?
    else
      output=$("$wine32" 'C:\windows\syswow64\reg.exe' query "$path" /s 2>&1) || rc=$?
    fi
    # Under emulation Wine now and then fails to start reg at all, which
    # says nothing of the key: it is asked once more.
    grep -q 'ShellExecuteEx failed' <<<"$output" || break
    echo "    (reg did not start, attempt $attempt)"
  done
  output=$(sed 's/\r$//; /^$/d; s/^/    /' <<<"$output")
  if [ "$want" = absent ]; then
    # Absent as reg says it, not as a reg that did not run.
    if [ "$rc" -ne 0 ] && grep -q 'Unable to find the specified registry key' <<<"$output"; then
      pass "$view-bit view: no $path"
    else
      echo "$output"
      fail "$view-bit view: $path is still there (reg: exit code $rc)"
    fi
    return
  fi
  for text in "$@"; do grep -Fqi -- "$text" <<<"$output" || missing+=" '$text'"; done
  if [ "$rc" -ne 0 ]; then
    echo "$output"
    fail "$view-bit view: $path is not there (reg: exit code $rc)"
  elif [ -n "$missing" ]; then
    echo "$output"
    fail "$view-bit view: $path lacks$missing"
  else
    pass "$view-bit view: $path${*:+ with $*}"
  fi
}

clsid='HKCR\CLSID\{DEF562AB-9C9F-4169-AEAD-A4997228630C}'
progid='HKCR\QuelderLib.Quelder'
typelib='HKCR\TypeLib\{C972E380-A419-4438-BAFD-99BA2C045342}'
interfaces=('HKCR\Interface\{83115427-C325-4EB3-B82F-2263684F4A5C}'
            'HKCR\Interface\{84BB2553-E9C5-4165-AC23-039C6D2C0172}')
file32=$(win "$ocx32") file64=$(win "$ocx64")

# The ProgID and the interfaces, which every registration of the class uses.
#   class_keys_in 32|64
class_keys_in() {
  local path
  key present "$1" "$progid" '{DEF562AB-9C9F-4169-AEAD-A4997228630C}'
  for path in "${interfaces[@]}"; do key present "$1" "$path" 'C972E380-A419-4438-BAFD-99BA2C045342'; done
}

# One file unregistered, the other still registered: the gone one's class key
# and type library entry went, the rest stays for the other. The remaining
# file serves its host; the other host finds no class: VBScript's
# CreateObject and AtlAxWin fail. The host's first test is left out there:
# it wants the ProgID unknown and (for a 64-bit host, which falls back to the
# win32 entry) the type library too, and both stay by design.
#   one_left 32|64
one_left() {
  local left=$1 gone file_left file_gone
  if [ "$left" = 32 ]; then gone=64 file_left=$ocx32 file_gone=$ocx64; else gone=32 file_left=$ocx64 file_gone=$ocx32; fi
  key absent "$gone" "$clsid"
  class_keys_in 64
  class_keys_in 32
  key present "$left" "$typelib\\1.0\\409\\win$left" "$(win "$file_left")"
  key absent "$gone" "$typelib\\1.0\\409\\win$gone"
  host "$left" "$file_left"
  host "$gone" "$file_gone" --absent --gtest_filter=-*.ItsTypeLibraryAndItsStatusComeFromTheNamedFile/*
}

# Registration-free use first, while nothing is registered: the 32-bit
# host from a folder of its own with the manifests (registration_free.sh,
# whose checks are shown indented and count here as one).
#   regfree i686|x86_64 OCX HOST
regfree() {
  local output rc=0
  while [ "$(date +%s)" -lt "$desktop_ready" ]; do sleep 1; done
  output=$("$(dirname "${BASH_SOURCE[0]}")/registration_free.sh" "$1" "$2" "$3" "$work/registration-free-$1" \
           "$WINEPREFIX" 2>&1) || rc=$?
  sed 's/\r$//; /^$/d; s/^/    /; s/\([0-9]*\) passed, \([0-9]*\) failed/registration-free checks: \1 passed, \2 failed/' \
    <<<"$output"
  if [ "$rc" -eq 0 ]; then pass "registration-free, $1"; else fail "registration-free, $1"; fi
}
# (The 64-bit build checks its own on the build machine.)
section "registration-free use in the fresh prefix, nothing registered"
regfree i686 "$ocx32" "$host32"

# Each host is served by its own file (the host checks which file its objects
# come from), and the type library has both entries.
section "both files registered, each with its own regsvr32"
regsvr 64 "$ocx64"
regsvr 32 "$ocx32"
key present 64 "$typelib" "409\\win32" "$file32" "409\\win64" "$file64"
host 64 "$ocx64"
host 32 "$ocx32"

section "the 64-bit file unregistered: the 32-bit one still serves its hosts"
regsvr 64 /u "$ocx64"
one_left 32

section "the 64-bit file registered again and the 32-bit one unregistered"
regsvr 64 "$ocx64"
regsvr 32 /u "$ocx32"
one_left 64

section "the 64-bit file unregistered too: nothing of Quelder is left"
regsvr 64 /u "$ocx64"
for view in 64 32; do
  for path in "$clsid" "$progid" "$typelib" "${interfaces[@]}"; do key absent "$view" "$path"; done
done
host 64 "$ocx64" --absent
host 32 "$ocx32" --absent

section "done"
echo "$passed passed, $failed failed"
exit "$failed"
