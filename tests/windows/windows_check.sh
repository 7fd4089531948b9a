#!/bin/sh
# orv.dll for 32- and 64-bit Windows, checked on Linux: cross-built with
# mingw-w64 (cmake/mingw-w64-*.cmake), its exports read with objdump, the
# engine's tests run under wine, and orv_caller's texts (every export called
# through GetProcAddress) compared byte for byte with the Linux engine's.
#
#   tests/windows/windows_check.sh LINUX_BUILD [WINDOWS_BUILDS]
#
# LINUX_BUILD holds bin/orv_caller and bin/liborv.so.1 (scripts/test's
# build-test); WINDOWS_BUILDS (default build-windows) receives the builds
# i686/ and x86_64/ and the wine prefix wine/. Needs the cross compilers,
# wine and wine32 (scripts/install-deps).
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
linux=$(cd "${1:?usage: windows_check.sh LINUX_BUILD [WINDOWS_BUILDS]}" && pwd)
builds=${2:-$root/build-windows}
mkdir -p "$builds"
builds=$(cd "$builds" && pwd)

for tool in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix wine; do
  command -v $tool >/dev/null || { echo "windows_check: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done

# A wine of our own, quiet, without the offers to install Mono and Gecko.
export WINEPREFIX="$builds/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Its first start makes the prefix (some seconds): meanwhile the DLLs build.
wineboot --init >"$builds/wineboot.log" 2>&1 &
wineboot_pid=$!

# The reference: the Linux engine's texts.
"$linux/bin/orv_caller" "$linux/bin/liborv.so.1" "$builds/linux.txt"

status=0
for arch in i686 x86_64; do
  build=$builds/$arch
  echo "== orv.dll for $arch"
  cmake -S "$root" -B "$build" --toolchain "$root/cmake/mingw-w64-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DORV_WERROR=ON -DORV_BUILD_BENCH=OFF \
    -DORV_GTEST_SOURCE_DIR=/usr/src/googletest >"$build.configure.log" 2>&1 ||
    { cat "$build.configure.log"; exit 1; }
  cmake --build "$build" -j"$(nproc)"
  [ -n "$wineboot_pid" ] && { wait "$wineboot_pid" || true; wineboot_pid=""; }
  # The exports (objdump) and the engine's tests under wine.
  ctest --test-dir "$build" --output-on-failure || status=1
  # Every export through GetProcAddress, text for text as on Linux.
  rm -f "$build/bin/windows.txt"
  if (cd "$build/bin" && wine orv_caller.exe orv.dll windows.txt) &&
    cmp "$builds/linux.txt" "$build/bin/windows.txt"; then
    echo "orv_caller: $(wc -c <"$build/bin/windows.txt") bytes, $(grep -a -c '^result ' "$build/bin/windows.txt") calls, equal to Linux's"
  else
    echo "orv_caller: the texts of orv.dll ($arch) differ from Linux's" >&2
    status=1
  fi
done
wineserver -k 2>/dev/null || true
exit $status
