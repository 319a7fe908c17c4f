#!/usr/bin/env bash
# The 32-bit Quelder.ocx cannot be executed on these machines; this checks the
# file itself: a PE32 DLL for Intel 80386 exporting the four plain names, and
# its resources: the version record, the 32-bit type library, the two
# interface-identifier resources (compared with the GUIDs in Quelder.idl), the
# toolbox bitmap, the 14 board images and the About picture.
#   inspect_ocx32.sh Quelder.ocx Quelder.idl
set -u
ocx=$1
idl=$2
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
no_decorated_export() { ! grep -Eq '\] _?Dll[A-Za-z]+@[0-9]+' <<<"$dump"; }
check "no decorated export" no_decorated_export

# ---- resources ---------------------------------------------------------------
# The resource tree as objdump prints it, one line per resource:
# "type name rva size", types and names as numbers or strings.
resources=$(sed -n '/The .rsrc Resource Directory section/,$p' <<<"$dump" | while IFS= read -r line; do
  if [[ $line =~ ^[0-9a-f]+(\ +)Entry:\ (ID:\ 0x([0-9a-f]+)|name:\ \[[^]]*\]:\ ([^,]+)), ]]; then
    if [ -n "${BASH_REMATCH[3]}" ]; then id=$((16#${BASH_REMATCH[3]})); else id=${BASH_REMATCH[4]}; fi
    case ${#BASH_REMATCH[1]} in 3) type=$id ;; 5) name=$id ;; esac
  elif [[ $line =~ Leaf:\ Addr:\ 0x([0-9a-f]+),\ Size:\ 0x([0-9a-f]+) ]]; then
    echo "$type $name $((16#${BASH_REMATCH[1]})) $((16#${BASH_REMATCH[2]}))"
  fi
done)
# Where .rsrc lies in the file, to read a resource's bytes.
read -r rsrc_vma rsrc_offset < <(i686-w64-mingw32-objdump -h "$ocx" | awk '$2 == ".rsrc" {print $4, $6}')
image_base=$(awk '/^ImageBase/ {print $2; exit}' <<<"$dump")
resource() {  # resource type name: "rva size", empty when missing
  awk -v t="$1" -v n="$2" '$1 == t && $2 == n {print $3, $4; exit}' <<<"$resources"
}
bytes() {  # bytes type name: the resource's bytes in hex
  local rva size
  read -r rva size <<<"$(resource "$1" "$2")"
  [ -n "${rva:-}" ] || return 0
  od -An -tx1 -v -j $((16#$rsrc_offset + 16#$image_base + rva - 16#$rsrc_vma)) -N "$size" "$ocx" | tr -d ' \n'
}
has() { [ -n "$(resource "$1" "$2")" ]; }
size_is() { [ "$(resource "$1" "$2" | cut -d' ' -f2)" = "$3" ]; }

RT_BITMAP=2; RT_RCDATA=10; RT_VERSION=16
for k in $(seq 1 14); do check "board image $k (bitmap $((100 + k)))" has $RT_BITMAP $((100 + k)); done
check "About picture (bitmap 120)" has $RT_BITMAP 120
# 16 x 15 pixels, 16 colours: header 40, palette 64, 15 rows of 8 bytes.
check "toolbox bitmap 30000, 16 x 15 in 16 colours" size_is $RT_BITMAP 30000 224
check "TYPELIB 1" has TYPELIB 1
typelib=$(bytes TYPELIB 1)
check "type library in MSFT format" test "${typelib:0:8}" = 4d534654
# The header's flags at offset 0x14: the low nibble is the system kind, 1 for 32-bit.
check "32-bit type library (SYS_WIN32)" test "${typelib:41:1}" = 1

# The GUID of an interface in Quelder.idl, in its binary layout.
guid_bytes() {  # guid_bytes "interface _Quelder"
  local uuid hex
  uuid=$(awk -v decl="$1" '/uuid\(/ {match($0, /uuid\([0-9A-Fa-f-]+\)/); u = substr($0, RSTART + 5, RLENGTH - 6)}
                           $0 ~ "^ *" decl "( |$)" {print u; exit}' "$idl")
  hex=$(tr -d - <<<"$uuid" | tr A-F a-f)
  [ ${#hex} -eq 32 ] || return 0
  echo "${hex:6:2}${hex:4:2}${hex:2:2}${hex:0:2}${hex:10:2}${hex:8:2}${hex:14:2}${hex:12:2}${hex:16:16}"
}
iid=$(guid_bytes "interface _Quelder")
srciid=$(guid_bytes "dispinterface __Quelder")
check "GUID of _Quelder found in $idl" test ${#iid} -eq 32
check "GUID of __Quelder found in $idl" test ${#srciid} -eq 32
check "_IID_QUELDER: 20 bytes, length 16, the GUID of _Quelder" test "$(bytes $RT_RCDATA _IID_QUELDER)" = "10000000$iid"
check "_SRCIID_QUELDER: 20 bytes, length 16, the GUID of __Quelder" test "$(bytes $RT_RCDATA _SRCIID_QUELDER)" = "10000000$srciid"

check "version record" has $RT_VERSION 1
version=$(bytes $RT_VERSION 1)
# VS_FIXEDFILEINFO: signature, structure version 1.0, file and product version 2.0.0.0.
check "file and product version 2.0.0.0" grep -q bd04effe0000010000000200000000000000020000000000 <<<"$version"
check "translation 0x0409, code page 1200" grep -q 0904b004 <<<"$version"
texts=$(strings -el "$ocx")
for entry in 040904B0 FileVersion ProductVersion 2.00 InternalName Quelder OriginalFilename Quelder.ocx \
             ProductName "Quelder ActiveX" OLESelfRegister CompanyName "The Quelder developers"; do
  check "version string \"$entry\"" grep -qx "$entry" <<<"$texts"
done

echo "$passes passed, $fails failed"
[ "$fails" -eq 0 ]
