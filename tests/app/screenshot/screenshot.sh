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

name=screenshot
app_files=Omenry
. "$here/xvfb_session.sh"
# Give the main window the keyboard, then choose the first folder.
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
