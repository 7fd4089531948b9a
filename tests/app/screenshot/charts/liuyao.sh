# Six Lines: 六爻 (Ctrl+L), 天风姤 with its first line old yin, solar
# 1984-02-10 12:00 (a 甲 day: the hidden spirit 甲寅 妻财 at the second line).
# Sourced by chart_screenshot.sh with the editor focused; leaves the filled-in
# dialog focused, its 确定 the default button.
chart_title="Six Lines"
xdotool key ctrl+l
sleep 1
# The dialog opens on line 6; the date lists come before the lines in the
# focus chain: back past 闰月 and 阳历 to the year.
for _ in 1 2 3 4 5 6; do xdotool key shift+Tab; done
for field in 1984 2 10 12; do
  xdotool key ctrl+a
  xdotool type --delay 50 "$field"
  xdotool key Tab
done
# On past 阳历 and 闰月 to line 6, then each line from the top: its value is
# the number of steps down its list (0 ━　━, 1 ━━━, 2 ━　━×, 3 ━━━○).
xdotool key Tab Tab
for value in 1 1 1 1 1 2; do
  i=0
  while [ $i -lt $value ]; do xdotool key Down; i=$((i + 1)); done
  xdotool key Tab
done
sleep 0.3
