#!/bin/sh
# Prints a record holding real charts through the print window onto a PDF
# printer standing in for the current printer (A4, upright, half-inch
# margins), and renders page 1 to a picture, to be looked at: chart columns
# aligned, margins of half an inch, nothing clipped.
#
#   tests/app/print/print_page.sh [BUILD_DIR] [OUT_PNG]
#
# BUILD_DIR defaults to build (it must hold bin/print_sample, bin/orvchart
# and bin/liborv.so); OUT_PNG defaults to /tmp/omenry-print.png, rendered at
# 100 dpi (half an inch is 50 pixels). Needs pdftoppm (poppler-utils,
# scripts/install-deps).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
out=${2:-/tmp/omenry-print.png}

command -v pdftoppm >/dev/null || { echo "print_page: pdftoppm is missing (scripts/install-deps)" >&2; exit 1; }
[ -x "$build/bin/print_sample" ] && [ -x "$build/bin/orvchart" ] ||
  { echo "print_page: build print_sample, orvchart and orv in $build first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The record: a Four Pillars chart from the engine, a hand-drawn grid with
# heavy box characters and full-width spaces, and enough notes for a second
# page.
{
  "$build/bin/orvchart" bazi 2026-03-15 10 --male | head -n 20
  cat <<'EOF'

━━━━━━━━━━━━━━━━━━━━━━━━
　　　　┃　年柱　┃　月柱　┃　日柱　┃　时柱　
━━━━╋━━━━╋━━━━╋━━━━╋━━━━
十神　　┃　偏财　┃　正官　┃　日主　┃　食神　
天干　　┃　丙　　┃　辛　　┃　壬　　┃　乙　　
地支　　┃　午　　┃　卯　　┃　子　　┃　巳　　
纳音　　┃天河水　┃松柏木　┃桑柘木　┃覆灯火　
━━━━━━━━━━━━━━━━━━━━━━━━
ASCII 与中文混排：abc 甲子 123 |12345678|一二三四|
EOF
  i=1
  while [ $i -le 90 ]; do
    echo "第${i}行　断语：妻财午火动而生世，月内可得。notes $i"
    i=$((i + 1))
  done
} >"$work/record.txt"

ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen \
  "$build/bin/print_sample" "$work/record.txt" "$work/record.pdf"
pdftoppm -png -r 100 -f 1 -l 1 -singlefile "$work/record.pdf" "${out%.png}"
echo "page 1: $out"
