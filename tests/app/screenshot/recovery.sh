#!/bin/sh
# Damages the casebook of a real Omenry under Xvfb and pictures what the user
# meets, to be looked at: every text Chinese and whole, the backups listed
# with time, size and record count, nothing clipped.
#
#   tests/app/screenshot/recovery.sh [BUILD_DIR] [PREFIX] [DAMAGE]
#
# The sample casebook is opened once (the start-up backup is made beside the
# window) and the program quits; then DAMAGE (leaf, the default: the records
# table's first page; text; header: see tools/desktop/damage_casebook.cpp)
# is done to the file, and Omenry starts again. Saves
#   PREFIX-dialog.png    the recovery dialog at start
#   PREFIX-salvaged.png  the message after 抢救记录 (the backup chosen)
#   PREFIX-main.png      the main window on the salvaged casebook
#   PREFIX-command.png   文件 → 恢复备份… on the sound casebook
#   PREFIX-question.png  the question before a sound casebook is replaced
#                        (answered 取消)
# BUILD_DIR defaults to build (bin/Omenry, bin/sample_casebook and
# bin/damage_casebook); PREFIX to /tmp/omenry-recovery. Needs Xvfb, xdotool
# and ImageMagick (scripts/install-deps).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
prefix=${2:-/tmp/omenry-recovery}
damage=${3:-leaf}
[ -x "$build/bin/damage_casebook" ] || { echo "recovery: build damage_casebook in $build first" >&2; exit 1; }

name=recovery
app_files=Omenry
. "$here/xvfb_session.sh"

# The first session: the start-up backup is made beside the window; then
# 文件 → 退出.
sleep 3
xdotool windowfocus --sync "$main"
xdotool key alt+f
sleep 0.5
xdotool key x
wait "$app_pid" || true
app_pid=""
[ -n "$(ls "$work/app/Data/backup/"casebook-*.sqlite 2>/dev/null)" ] || fail "no start-up backup was made"

"$build/bin/damage_casebook" "$work/app/Data/casebook.sqlite" "$damage"
ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=xcb "$work/app/Omenry" >>"$work/app.log" 2>&1 &
app_pid=$!

dialog=$(window_of '^恢复备份$') || fail "the recovery dialog did not appear"
xdotool windowmove "$dialog" 40 40
sleep 1
import -window "$dialog" "$prefix-dialog.png"
echo "recovery dialog: $prefix-dialog.png"

xdotool windowfocus --sync "$dialog"
xdotool key alt+s
box=$(window_of '^提示$') || fail "no message after 抢救记录"
sleep 0.5
import -window "$box" "$prefix-salvaged.png"
echo "after the salvage: $prefix-salvaged.png"
xdotool windowfocus --sync "$box"
xdotool key Return

main=$(window_of '^Hexalore [0-9]+\.[0-9]+$') || fail "the main window did not appear"
xdotool windowsize "$main" 1280 800 windowmove "$main" 0 0
sleep 0.5
xdotool windowfocus --sync "$main"
xdotool key Down
sleep 1
import -window "$main" "$prefix-main.png"
echo "main window: $prefix-main.png"

# 文件 → 恢复备份… (the entry above 退出), then 恢复所选备份 on the sound
# casebook: the question.
xdotool key alt+f
sleep 0.5
xdotool key Up Up Return
dialog=$(window_of '^恢复备份$') || fail "文件 → 恢复备份… showed no dialog"
xdotool windowmove "$dialog" 40 40
sleep 1
import -window "$dialog" "$prefix-command.png"
echo "恢复备份…: $prefix-command.png"
xdotool windowfocus --sync "$dialog"
xdotool key alt+r
box=$(window_of '^确认$') || fail "no question before replacing a sound casebook"
sleep 0.5
import -window "$box" "$prefix-question.png"
echo "the question: $prefix-question.png"
xdotool windowfocus --sync "$box"
xdotool key Escape
sleep 0.3
xdotool windowfocus --sync "$dialog"
xdotool key Escape
