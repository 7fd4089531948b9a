#!/bin/sh
# Casts a chart in Omenry under Xvfb, as a user would, and saves four
# pictures to be looked at: the filled-in chart dialog, the record editor with
# the chart inserted above the record text, the main window's preview of the
# saved record and the print window with its pages. What to look for: the
# chart's columns aligned, box lines joined, Chinese rendered, nothing
# clipped.
#
#   tests/app/screenshot/chart_screenshot.sh CHART [BUILD_DIR] [OUT_PNG]
#
# CHART names a recipe in charts/ (charts/CHART.sh: it opens the chart's dialog
# from the focused editor and fills it in; bazi, for one). BUILD_DIR defaults
# to build (it must hold bin/Omenry, bin/liborv.so.1 and bin/sample_casebook);
# OUT_PNG defaults to /tmp/omenry-CHART.png, the main window's picture goes to
# OUT_PNG with "-main" before ".png", the filled-in dialog's to OUT_PNG with
# "-dialog", the print window's to OUT_PNG with "-print". Needs Xvfb, xdotool
# and ImageMagick (scripts/install-deps).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
chart=${1:?usage: chart_screenshot.sh CHART [BUILD_DIR] [OUT_PNG]}
recipe=$here/charts/$chart.sh
[ -f "$recipe" ] || { echo "chart_screenshot: no recipe $recipe" >&2; exit 2; }
build=${2:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
out=${3:-/tmp/omenry-$chart.png}
out_main=${out%.png}-main.png
out_dialog=${out%.png}-dialog.png
out_print=${out%.png}-print.png

name=chart_screenshot
app_files="Omenry liborv.so.1"
. "$here/xvfb_session.sh"
# Give the main window the keyboard; the tree has the focus: choose the first
# folder.
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

# The chart's recipe opens its dialog and fills it in.
. "$recipe"
# The dialog has the keyboard: picture it too.
dialog=$(xdotool getwindowfocus)
import -window "$dialog" "$out_dialog"
echo "$chart_title dialog: $out_dialog"
xdotool key Return   # 确定, the default button
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

# 打印 (Ctrl+P): the print window with the record's pages.
xdotool windowfocus --sync "$main"
xdotool key ctrl+p
print=$(window_of '^打印$') || fail "the print window did not appear"
sleep 1
import -window "$print" "$out_print"
echo "print window: $out_print"
xdotool key Escape
