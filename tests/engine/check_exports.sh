#!/bin/sh
# liborv.so exports exactly the chart functions (text and JSON) and the setter
# of the question handler, and needs nothing but the C++ standard library
# (and, in sanitizer builds, the sanitizer runtimes).
set -eu
lib="$1"
expected="SetQuestionHandler Str6Ren StrBazi StrChartJson StrChartText StrLiuyao StrLiuyaoL StrQimen StrXuankong StrZiwei"
actual=$(nm -D --defined-only "$lib" | awk 'NF == 3 { print $3 }' | sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "$expected" ]; then
  echo "exports differ"
  echo "  expected: $expected"
  echo "  actual:   $actual"
  exit 1
fi
bad=$(readelf -d "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' |
  grep -Ev '^(libstdc\+\+|libm|libgcc_s|libc|ld-linux[^ ]*|libasan|libubsan)\.so' || true)
if [ -n "$bad" ]; then
  echo "liborv.so needs more than the C++ standard library: $bad"
  exit 1
fi
echo "exports: $actual"
