#!/bin/sh
# Shows Omenry's main window small (700 × 450 pixels) at a scale of 1.5, as
# on a dense laptop screen, with the first folder's records listed and no
# search shown, and saves a picture of it, to be looked at: the 时间 column
# shows whole dates, 标题 gives up room for them, and the status bar shows no
# empty boxes.
#
#   tests/app/screenshot/small_window.sh [BUILD_DIR] [OUT_PNG]
#
# BUILD_DIR defaults to build (it must hold bin/Omenry and
# bin/sample_casebook); OUT_PNG defaults to /tmp/omenry-small.png. Needs
# Xvfb, xdotool and ImageMagick (scripts/install-deps). A second picture
# shows the list sorted by a click on 时间.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
out=${2:-/tmp/omenry-small.png}

name=small_window
app_files=Omenry
export QT_SCALE_FACTOR=1.5
. "$here/xvfb_session.sh"
xdotool windowsize "$main" 700 450
sleep 0.5
# Give the main window the keyboard, then choose the first folder.
xdotool windowfocus --sync "$main"
xdotool key Down
# The word of the start-up backup leaves the status bar after 10 seconds.
sleep 11
import -window "$main" "$out"
echo "main window: $out"

# A click on the title 时间 sorts by the date (earliest first), with the
# sort indicator on that column: OUT_PNG with "-sorted" before ".png".
out_sorted=${out%.png}-sorted.png
xdotool mousemove 520 110 click 1
sleep 1
import -window "$main" "$out_sorted"
echo "sorted by date: $out_sorted"
