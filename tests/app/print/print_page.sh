#!/bin/sh
# Prints a record holding real charts through the print window onto a PDF
# printer standing in for the current printer (A4, upright, half-inch
# margins), and renders its pages to pictures, to be looked at: chart columns
# aligned, grid lines joined (across a page break too), margins of half an
# inch, nothing clipped.
#
#   tests/app/print/print_page.sh [BUILD_DIR] [OUT_PNG]
#
# BUILD_DIR defaults to build (it must hold bin/print_sample, bin/orvchart
# and bin/liborv.so.1); OUT_PNG defaults to /tmp/omenry-print.png, page 1
# rendered at 100 dpi (half an inch is 50 pixels); page N goes to OUT_PNG
# with "-N" before ".png". Needs pdftoppm and pdfinfo (poppler-utils,
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
# heavy box characters and full-width spaces, grids of light, heavy and
# double lines, the Qimen and Purple Star charts from the engine (the latter
# broken by the end of page 1), and notes.
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

┏━━┳━━┳━━┓　┌──┬──┐　╔══╦══╗
┃巽四┃离九┃坤二┃　│　甲│　乙│　║　丙║　丁║
┣━━╋━━╋━━┫　├──┼──┤　╠══╬══╣
┃震三┃中五┃兑七┃　│　戊│　己│　║　庚║　辛║
┗━━┻━━┻━━┛　└──┴──┘　╚══╩══╝
EOF
  "$build/bin/orvchart" qimen 2024-02-10 3
  echo
  "$build/bin/orvchart" ziwei 1984-02-02 0 --male
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
pages=$(pdfinfo "$work/record.pdf" | sed -n 's/^Pages: *//p')
page=2
while [ "$page" -le "$pages" ]; do
  pdftoppm -png -r 100 -f $page -l $page -singlefile "$work/record.pdf" "${out%.png}-$page"
  echo "page $page: ${out%.png}-$page.png"
  page=$((page + 1))
done
