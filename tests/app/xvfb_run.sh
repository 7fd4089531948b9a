#!/bin/sh
# Runs a window test on a real X server of its own: a private Xvfb, the xcb
# platform, and the clipboard of that server (for tests that need a real
# clipboard owner in another process, such as xclip). The test's exit
# status is this script's.
#
#   tests/app/xvfb_run.sh TEST_PROGRAM [ARGS...]
#
# Needs Xvfb and xclip (scripts/install-deps).
set -u
for tool in Xvfb xclip; do
  command -v $tool >/dev/null || { echo "xvfb_run: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# Xvfb picks a free display itself and names it once it is ready.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
i=0
until [ -s "$work/display" ]; do
  i=$((i + 1))
  if [ $i -gt 100 ]; then
    echo "xvfb_run: Xvfb did not start" >&2
    cat "$work/xvfb.log" >&2
    exit 1
  fi
  sleep 0.1
done
mkdir -m 700 "$work/run"
DISPLAY=":$(head -n 1 "$work/display")" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/run" "$@"
