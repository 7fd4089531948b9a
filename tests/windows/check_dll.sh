#!/bin/sh
# orv.dll exports exactly the functions that orv.h declares, by their plain
# names (no "_" before, no "@bytes" after, as 32-bit __stdcall would have), and
# imports only DLLs of Windows itself: MinGW's C++ runtime is linked in.
#
#   tests/windows/check_dll.sh OBJDUMP orv.dll orv.h
set -eu
objdump=$1
dll=$2
header=$3
expected=$("$(dirname "$0")/orv_h_exports.sh" "$header")
table=$("$objdump" -p "$dll")
# The names in the export table: the lines after "[Ordinal/Name Pointer] Table".
actual=$(printf '%s\n' "$table" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*\([^[:space:]]*\)$/\1/p' | sort | tr '\n' ' ' |
  sed 's/ $//')
status=0
if [ -z "$expected" ] || [ "$actual" != "$expected" ]; then
  echo "exports differ"
  echo "  orv.h:   $expected"
  echo "  orv.dll: $actual"
  status=1
fi
imports=$(printf '%s\n' "$table" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -u | tr '\n' ' ')
runtime=$(printf '%s\n' $imports | grep -Ei '^(libstdc\+\+|libgcc|libwinpthread|libssp)' || true)
if [ -n "$runtime" ]; then
  echo "orv.dll needs MinGW's runtime DLLs: $runtime"
  status=1
fi
echo "exports: $actual"
echo "imports: $imports"
exit $status
