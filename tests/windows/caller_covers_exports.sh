#!/bin/sh
# orv_caller calls every export that orv.h declares (so that the comparison
# of the Windows and Linux texts leaves none out), and every call succeeds.
#
#   tests/windows/caller_covers_exports.sh orv_caller LIBRARY orv.h
set -eu
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$1" "$2" "$out"
called=$(sed -n 's/^exports: //p' "$out" | tr ' ' '\n' | sort | tr '\n' ' ' | sed 's/ $//')
expected=$("$(dirname "$0")/orv_h_exports.sh" "$3")
if [ "$called" != "$expected" ]; then
  echo "orv_caller calls: $called"
  echo "orv.h declares:   $expected"
  exit 1
fi
if grep -a -q -e '^NOT the text' -e '^NOT the JSON' -e '^short buffer not empty' -e 'written past the zero' -e 'no terminating zero' -e '^buffer changed' "$out"; then
  grep -a -e '^NOT the text' -e '^NOT the JSON' -e '^short buffer not empty' -e 'written past the zero' -e 'no terminating zero' -e '^buffer changed' "$out" | head
  exit 1
fi
echo "orv_caller: $(grep -a -c '^result ' "$out") calls of $called"
