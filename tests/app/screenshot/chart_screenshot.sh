#!/bin/sh
# Casts a Four Pillars chart in Omenry under Xvfb, as a user would, and saves
# two pictures to be looked at: the record editor with the chart inserted
# above the record text, and the main window's preview of the saved record.
# What to look for: the chart's grid aligned column for column (the four
# pillars under each other, the hidden stems and ten gods under their
# pillars), the year lines in one column, nothing clipped.
#
#   tests/app/screenshot/chart_screenshot.sh [BUILD_DIR] [OUT_PNG]
#
# BUILD_DIR defaults to build (it must hold bin/Omenry, bin/liborv.so and
# bin/sample_casebook); OUT_PNG defaults to /tmp/omenry-chart.png, the main
# window's picture goes to OUT_PNG with "-main" before ".png", the filled-in
# dialog's to OUT_PNG with "-dialog". Needs Xvfb, xdotool and ImageMagick
# (scripts/install-deps).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
out=${2:-/tmp/omenry-chart.png}
out_main=${out%.png}-main.png
out_dialog=${out%.png}-dialog.png

for tool in Xvfb xdotool import; do
  command -v $tool >/dev/null || { echo "chart_screenshot: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done
for file in Omenry liborv.so sample_casebook; do
  [ -e "$build/bin/$file" ] ||
    { echo "chart_screenshot: build Omenry, orv and sample_casebook in $build first" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# The program with its engine beside it, the casebook in Data next to them,
# settings in a private home.
mkdir -p "$work/app" "$work/home" "$work/run"
chmod 700 "$work/run"
cp "$build/bin/Omenry" "$build/bin/liborv.so" "$work/app/"
"$build/bin/sample_casebook" "$work/app/Data"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
  XDG_DATA_HOME="$work/home/.local/share" XDG_RUNTIME_DIR="$work/run"

display=91
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
i=0
until xdotool getmouselocation >/dev/null 2>&1; do
  i=$((i + 1)); [ $i -gt 50 ] && { echo "chart_screenshot: Xvfb did not start" >&2; exit 1; }
  sleep 0.2
done

ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=xcb "$work/app/Omenry" >"$work/app.log" 2>&1 &
app_pid=$!
window_of() {
  i=0
  while :; do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    i=$((i + 1)); [ $i -gt 100 ] && return 1
    sleep 0.2
  done
}
fail() {
  echo "chart_screenshot: $1" >&2
  cat "$work/app.log" >&2
  exit 1
}
main=$(window_of '^Hexalore [0-9]+\.[0-9]+$') || fail "the main window did not appear"
# No window manager runs: size the window as a desktop would and give it the
# keyboard; the tree has the focus: choose the first folder.
xdotool windowsize "$main" 1280 800 windowmove "$main" 0 0
sleep 0.5
xdotool windowfocus --sync "$main"
xdotool key Down
sleep 1

# Open the list's current record (the list's context menu, first entry).
xdotool key Tab
sleep 0.3
xdotool key Menu
sleep 0.5
xdotool key Down Return
editor=$(window_of '^编辑$') || fail "the editor did not appear"
xdotool windowsize "$editor" 1280 800 windowmove "$editor" 0 0
sleep 1
xdotool windowfocus --sync "$editor"

# 八字 (Ctrl+B): the dialog opens with the keyboard in the year field.
xdotool key ctrl+b
sleep 1
for field in 1984 2 4 12; do
  xdotool key ctrl+a
  xdotool type --delay 50 "$field"
  xdotool key Tab
done
sleep 0.3
# The dialog has the keyboard: picture it too.
dialog=$(xdotool getwindowfocus)
import -window "$dialog" "$out_dialog"
echo "Four Pillars dialog: $out_dialog"
xdotool key Return   # 确定 (男 and 阳历 are the dialog's first choices)
sleep 1
import -window "$editor" "$out"
echo "record editor with the chart: $out"

# Save (Ctrl+S), close (文件 → 关闭) and picture the main window's preview.
xdotool key ctrl+s
sleep 0.5
xdotool key alt+f
sleep 0.3
xdotool key g
sleep 1
import -window "$main" "$out_main"
echo "main window with the saved record: $out_main"
