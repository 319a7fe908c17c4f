#!/usr/bin/env bash
# The 32-bit Quelder.ocx cannot be executed on these machines; this checks the
# file itself: a PE32 DLL for Intel 80386 exporting the four plain names.
set -u
ocx=$1
fails=0; passes=0
check() {  # check "what" command...
  if "${@:2}" >/dev/null 2>&1; then passes=$((passes + 1)); else echo "FAILED: $1"; fails=$((fails + 1)); fi
}
dump=$(i686-w64-mingw32-objdump -p "$ocx")
check "file format pei-i386" grep -q "file format pei-i386" <<<"$dump"
chars=$(awk '/^Characteristics/ {print $2; exit}' <<<"$dump")
check "a DLL (Characteristics $chars)" test $(( ${chars:-0} & 0x2000 )) -ne 0
for name in DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer; do
  check "export $name" grep -Eq "^\s+\[\s*[0-9]+\]\s+$name$" <<<"$dump"
done
check "no decorated export" bash -c "! grep -Eq '\] _?Dll[A-Za-z]+@[0-9]+' <<<\"\$0\"" "$dump"
echo "$passes passed, $fails failed"
[ "$fails" -eq 0 ]
