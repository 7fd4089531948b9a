#!/bin/sh
# An installed Omenry, started as a new user would: a private Xvfb, a fresh
# home. It makes a folder and a record, casts the Four Pillars chart of
# 1984-02-04 12:00 (男) into it by the editor's 八字 command (the recipe the
# screenshot scripts use), saves it and quits; then the record in the
# casebook must hold the chart, and the engine must have come from the
# installed library directory.
#
#   tests/packages/omenry_casts_a_chart.sh [OMENRY]
#
# OMENRY defaults to /usr/bin/Omenry. Needs Xvfb, xdotool and sqlite3
# (scripts/install-deps).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
omenry=${1:-/usr/bin/Omenry}
name=omenry_casts_a_chart
tools="xdotool sqlite3"
. "$root/tests/app/xvfb_display.sh"
fail() {
  echo "$name: $1" >&2
  cat "$work/app.log" >&2 2>/dev/null || true
  exit 1
}

mkdir -p "$work/home" "$work/run"
chmod 700 "$work/run"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run"
unset XDG_CONFIG_HOME XDG_DATA_HOME LD_LIBRARY_PATH

# The loader writes down every library it opens (LD_DEBUG_OUTPUT.<pid>).
LD_DEBUG=files LD_DEBUG_OUTPUT="$work/loader" QT_QPA_PLATFORM=xcb "$omenry" >"$work/app.log" 2>&1 &
app_pid=$!

main=$(window_of '^Hexalore [0-9]+\.[0-9]+$') || fail "the main window did not appear"
xdotool windowsize "$main" 1280 800 windowmove "$main" 0 0
sleep 0.5
xdotool windowfocus --sync "$main"

# 文件 → 新建分类: a folder "CI", which becomes the current folder.
xdotool key alt+f
sleep 0.3
xdotool key n
folder=$(window_of '^新建分类$') || fail "the new-folder dialog did not appear"
xdotool windowfocus --sync "$folder"
xdotool type --delay 50 "CI"
xdotool key Return
sleep 0.5

# Ctrl+N: a new record, titled, with the chart cast into it.
xdotool windowfocus --sync "$main"
xdotool key ctrl+n
editor=$(window_of '^新建$') || fail "the record editor did not appear"
xdotool windowsize "$editor" 1280 800 windowmove "$editor" 0 0
sleep 0.5
xdotool windowfocus --sync "$editor"
xdotool type --delay 50 "package check"
. "$root/tests/app/screenshot/charts/bazi.sh"
xdotool key Return   # 确定
sleep 1

# Save (Ctrl+S), close the editor (文件 → 关闭) and quit (文件 → 退出).
xdotool key ctrl+s
sleep 0.5
xdotool key alt+f
sleep 0.3
xdotool key g
sleep 0.5
xdotool windowfocus --sync "$main"
xdotool key alt+f
sleep 0.3
xdotool key x
i=0
while kill -0 "$app_pid" 2>/dev/null; do
  i=$((i + 1)); [ $i -gt 50 ] && fail "Omenry did not quit"
  sleep 0.2
done
wait "$app_pid" || fail "Omenry ended with status $?"
app_pid=""

casebook="$HOME/.local/share/vesk/Omenry/Data/casebook.sqlite"
[ -f "$casebook" ] || fail "no casebook at $casebook"
text=$(sqlite3 "$casebook" "SELECT BT || '|' || LR FROM Omenry")
# The caption naming what was cast, then the chart.
for line in "package check|八字 男 1984-02-04 12:00 阳历" "男命：1984年2月4日" "阴历：正月初三"; do
  printf '%s\n' "$text" | grep -q -F "$line" || fail "the saved record lacks \"$line\": $text"
done
# The cast is kept beside the record.
casts=$(sqlite3 "$casebook" "SELECT count(*) || ' ' || min(Method) FROM OmenryCasts")
[ "$casts" = "1 bazi" ] || fail "the casts kept are '$casts', not one Four Pillars cast"
engine=$(sed -n 's/.*file=\([^ ]*liborv[^ ]*\) .*generating link map.*/\1/p' "$work"/loader.* | head -n 1)
case $engine in
  */lib/*/liborv.so.1) ;;
  *) fail "the engine came from '${engine:-nowhere}', not from the installed library directory" ;;
esac
echo "Omenry (${omenry}) cast the chart into a record with ${engine}"
