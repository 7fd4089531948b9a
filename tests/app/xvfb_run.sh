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
name=xvfb_run
tools=xclip
. "$(dirname "$0")/xvfb_display.sh"
mkdir -m 700 "$work/run"
QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/run" "$@"
