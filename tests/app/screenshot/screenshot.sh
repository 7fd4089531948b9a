#!/bin/sh
# Shows Omenry's main window with a sample casebook under Xvfb and saves a
# picture of it, to be looked at: chart columns aligned, Chinese rendered,
# nothing clipped.
#
#   tests/app/screenshot/screenshot.sh [BUILD_DIR] [OUT_PNG]
#
# BUILD_DIR defaults to build (it must hold bin/Omenry and
# bin/sample_casebook); OUT_PNG defaults to /tmp/omenry-main.png. A second
# picture, OUT_PNG with "-editor" before ".png", shows the record editor on
# the chart record, and one with "-box" a message box (the delete question,
# answered with 取消). Needs Xvfb, xdotool and ImageMagick (scripts/install-deps).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
out=${2:-/tmp/omenry-main.png}
out_editor=${out%.png}-editor.png
out_box=${out%.png}-box.png

for tool in Xvfb xdotool import; do
  command -v $tool >/dev/null || { echo "screenshot: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done
[ -x "$build/bin/Omenry" ] && [ -x "$build/bin/sample_casebook" ] ||
  { echo "screenshot: build Omenry and sample_casebook in $build first" >&2; exit 1; }

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

# Portable use: the casebook is the Data directory next to the program, and
# settings go to a private home.
mkdir -p "$work/app" "$work/home" "$work/run"
chmod 700 "$work/run"
cp "$build/bin/Omenry" "$work/app/Omenry"
"$build/bin/sample_casebook" "$work/app/Data"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
  XDG_DATA_HOME="$work/home/.local/share" XDG_RUNTIME_DIR="$work/run"

# Xvfb picks a free display itself and names it once it is ready.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
i=0
until [ -s "$work/display" ]; do
  i=$((i + 1)); [ $i -gt 50 ] && { echo "screenshot: Xvfb did not start" >&2; exit 1; }
  sleep 0.2
done
export DISPLAY=":$(head -n 1 "$work/display")"

# ASan's exit-time leak check is of no use for a process killed at the end.
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
main=$(window_of '^Hexalore [0-9]+\.[0-9]+$') ||
  { echo "screenshot: the main window did not appear" >&2; cat "$work/app.log" >&2; exit 1; }
# No window manager runs: size the window as a desktop would, give it the
# keyboard, then choose the first folder (the tree has the focus).
xdotool windowsize "$main" 1280 800 windowmove "$main" 0 0
sleep 0.5
xdotool windowfocus --sync "$main"
xdotool mousemove 60 300
sleep 0.3
xdotool key Down
sleep 1
import -window "$main" "$out"
echo "main window: $out"

# The record editor on the current record: 编辑 on the toolbar is the
# second button; Ctrl+N would open an empty one. Reach it by the list's
# context menu instead of guessing pixel positions: focus the list (Tab from
# the tree) and press the menu key.
xdotool key Tab
sleep 0.3
xdotool key Menu
sleep 0.5
xdotool key Down Return
editor=$(window_of '^编辑$') || { echo "screenshot: the editor did not appear" >&2; exit 1; }
xdotool windowsize "$editor" 1280 800 windowmove "$editor" 0 0
sleep 1
import -window "$editor" "$out_editor"
echo "record editor: $out_editor"

# Close the editor (文件 → 关闭, untouched: no question), then ask to delete
# the record from the list's context menu and picture the question.
xdotool key alt+f
sleep 0.3
xdotool key g
sleep 0.5
# Without a window manager nobody hands the keyboard back to the main window.
xdotool windowfocus --sync "$main"
sleep 0.3
xdotool key Menu
sleep 0.5
xdotool key Down Down Return
box=$(window_of '^确认$') || { echo "screenshot: the message box did not appear" >&2; exit 1; }
sleep 0.5
import -window "$box" "$out_box"
xdotool key Escape
echo "message box: $out_box"
