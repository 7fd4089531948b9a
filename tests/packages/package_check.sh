#!/bin/sh
# The Debian packages as a user gets them: built by dpkg-buildpackage from a
# copy of the sources, checked by lintian (no errors), installed by apt-get,
# then used from the installed files alone:
#   - orvchart prints the Four Pillars chart through the installed engine;
#   - Omenry starts under Xvfb with a fresh home and casts a chart into a
#     record (omenry_casts_a_chart.sh);
#   - tests/consumer builds against the installed engine, once with
#     find_package(orv) and once with pkg-config, and prints the chart;
# and removed again, leaving none of their files behind.
#
#   tests/packages/package_check.sh [WORK_DIR]
#
# WORK_DIR (default build-packages) receives the copy of the sources, the
# packages and lintian's report. Runs as root or through sudo; needs what
# scripts/install-deps installs.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=${1:-$root/build-packages}
if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
packages="hexalore liborv1 liborv-dev"
first_line="男命：1984年2月4日"

rm -rf "$work"
mkdir -p "$work/src"
work=$(cd "$work" && pwd)

# ---- Build, from the files of the checkout (not the build directories).
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git -C "$root" ls-files -z --cached --others --exclude-standard |
    tar -C "$root" --null --ignore-failed-read -T - -cf - | tar -C "$work/src" -xf -
else
  tar -C "$root" --exclude='./build*' --exclude=./.git -cf - . | tar -C "$work/src" -xf -
fi
echo "== dpkg-buildpackage"
(cd "$work/src" && DEB_BUILD_OPTIONS="parallel=$(nproc)" dpkg-buildpackage -b -us -uc) \
  >"$work/build.log" 2>&1 || { tail -n 60 "$work/build.log"; exit 1; }
ls "$work"/*.deb

# ---- lintian: no errors; the warnings left are explained in the README.
echo "== lintian"
lintian --fail-on error --display-info "$work"/hexalore_*.changes | tee "$work/lintian.txt"

# ---- Install; remove again on every path.
removed=""
remove() {
  [ -n "$removed" ] && return
  removed=1
  echo "== removing the packages"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get purge -y -q $packages >"$work/remove.log" 2>&1 ||
    { cat "$work/remove.log"; return 1; }
}
trap 'remove' EXIT INT TERM
echo "== apt-get install"
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends \
  "$work"/hexalore_*.deb "$work"/liborv1_*.deb "$work"/liborv-dev_*.deb >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; exit 1; }
dpkg-query -W $packages

# The engine's text, GBK, as UTF-8 without the CRs.
utf8() { iconv -f GBK -t UTF-8 | tr -d '\r'; }
expect_first_line() {
  got=$(head -n 1)
  [ "$got" = "$first_line" ] || { echo "$1: the first line is '$got', not '$first_line'" >&2; exit 1; }
  echo "$1: $got"
}

echo "== orvchart"
(cd / && env -u LD_LIBRARY_PATH /usr/bin/orvchart bazi 1984-02-04 12 --male) | expect_first_line orvchart
# The birth-time correction reads the installed tz database (tzdata): 1988
# was a year of daylight saving in China, so 14:30 in Urumqi is 11:14 by
# true solar time.
corrected=$(cd / && env -u LD_LIBRARY_PATH /usr/bin/orvchart bazi 1988-07-15 14 --minute 30 \
  --place 乌鲁木齐 --true-solar --male | head -n 1)
case $corrected in
  "真太阳时 1988-07-15 11:14（北京时间 14:30，夏令时 −1:00，"*) echo "orvchart --true-solar: $corrected" ;;
  *) echo "orvchart --true-solar: the first line is '$corrected'" >&2; exit 1 ;;
esac

echo "== Omenry"
"$here/omenry_casts_a_chart.sh" /usr/bin/Omenry

echo "== a program linking the installed engine"
cmake -S "$root/tests/consumer" -B "$work/consumer" >"$work/consumer.log" 2>&1 &&
  cmake --build "$work/consumer" >>"$work/consumer.log" 2>&1 ||
  { cat "$work/consumer.log"; exit 1; }
"$work/consumer/consumer" | utf8 | expect_first_line "find_package(orv)"
# shellcheck disable=SC2046
cc -o "$work/consumer-pkg-config" "$root/tests/consumer/consumer.c" $(pkg-config --cflags --libs orv)
"$work/consumer-pkg-config" | utf8 | expect_first_line "pkg-config orv"
readelf -d "$work/consumer-pkg-config" | grep -q 'NEEDED.*\[liborv\.so\.1\]' ||
  { echo "the consumer does not need liborv.so.1" >&2; exit 1; }

# ---- Remove: nothing of the packages stays.
remove
trap - EXIT INT TERM
for file in /usr/bin/Omenry /usr/bin/orvchart /usr/include/orv.h; do
  [ ! -e "$file" ] || { echo "$file is still there after the removal" >&2; exit 1; }
done
if ls /usr/lib/*/liborv.so* /usr/lib/*/pkgconfig/orv.pc /usr/lib/*/cmake/orv >/dev/null 2>&1; then
  echo "files of liborv are still there after the removal" >&2
  exit 1
fi
echo "packages built, installed, used and removed"
