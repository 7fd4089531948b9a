# Da Liu Ren: 六壬 (Ctrl+R), solar 2024-04-10, hour 巳 (daytime follows),
# a woman born in 1990, nobles by 甲羊戊庚牛 and 涉害 by depth: the options
# the dialog remembers, both away from their defaults. 甲辰 with 未 above 寅:
# 寅 未 子 by position class, 子 巳 戌 by depth.
# Sourced by chart_screenshot.sh with the editor focused; leaves the filled-in
# dialog focused, its 确定 the default button.
chart_title="Da Liu Ren"
xdotool key ctrl+r
sleep 1
for field in 2024 4 10; do
  xdotool key ctrl+a
  xdotool type --delay 50 "$field"
  xdotool key Tab
done
xdotool key ctrl+a
xdotool type --delay 50 "巳"
# Focus runs 阳历, 闰月, 男 (→ 女), 昼, 生年 (1980 → 1990, which unticks
# 不使用), 不使用, 甲戊庚牛羊 (→ 甲羊戊庚牛), 按孟仲季 (→ 按涉害深浅).
xdotool key Tab Tab Tab Right
xdotool key Tab Tab
for i in 1 2 3 4 5 6 7 8 9 10; do xdotool key Down; done
xdotool key Tab Tab Right
xdotool key Tab Right
sleep 0.3
