#!/bin/sh
# Pictures Qt's own dialogs and menus in Omenry under Xvfb, to be looked at:
# all in Chinese, whatever the locale (the session runs with LANG=C). Saves
# PREFIX-preview-menu.png (the preview's context menu), PREFIX-rename-menu.png
# (the context menu of the folder rename box), PREFIX-save.png (the file
# dialog of 保存为文本) and PREFIX-print.png (the print window with
# 输出PDF…). The editor's fields have the same menus as the rename box
# (skin_test checks their texts).
#
#   tests/app/screenshot/dialogs.sh [BUILD_DIR] [PREFIX]
#
# BUILD_DIR defaults to build (bin/Omenry and bin/sample_casebook); PREFIX
# to /tmp/omenry. PREFIX-print-dialog.png is the system's print dialog
# that the print window's 选择打印机… opens. Needs Xvfb, xdotool and ImageMagick (scripts/install-deps).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
prefix=${2:-/tmp/omenry}

export LANG=C LC_ALL=C LANGUAGE=
name=dialogs
app_files=Omenry
. "$here/xvfb_session.sh"
shot() {
  sleep 0.8
  import -window root "$prefix-$1.png"
  echo "$1: $prefix-$1.png"
}

# The first folder and its newest record (the charts) in the preview.
xdotool windowfocus --sync "$main"
xdotool key Down
sleep 1
xdotool mousemove 700 560 click 3
shot preview-menu
xdotool key Escape

# Rename 求财 (the third node) in place and open the box's context menu.
xdotool windowfocus --sync "$main"
xdotool mousemove 60 140 click 1
sleep 0.3
xdotool key Home Down Down F2
sleep 0.5
xdotool key Menu
shot rename-menu
xdotool key Escape Escape

# 文件 → 保存为文本 (the save dialog), then cancel it.
xdotool key Home Down
sleep 0.5
xdotool key alt+f
sleep 0.3
xdotool key s
shot save
xdotool key Escape

# 打印: the print window.
xdotool windowfocus --sync "$main"
xdotool key ctrl+p
shot print
# 选择打印机…, on the right above 输出PDF…: the system's print dialog.
# (In the C locale the window's Chinese name cannot be matched: it is the
# visible window that is not the main window.)
print=$(xdotool search --onlyvisible --name '.' | grep -v "^$main\$" | head -n 1) ||
  fail "the print window did not appear"
xdotool mousemove --window "$print" 610 508 click 1
shot print-dialog
xdotool key Escape
sleep 0.5
xdotool key Escape
sleep 0.5

