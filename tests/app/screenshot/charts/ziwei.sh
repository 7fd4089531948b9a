# Purple Star: 紫微 (Ctrl+I) opens the Four Pillars dialog; solar 1984-02-02
# 00:00, 男 (the worked example's chart). Sourced by chart_screenshot.sh with
# the editor focused; leaves the filled-in dialog focused, its 确定 the
# default button.
chart_title="Purple Star"
xdotool key ctrl+i
sleep 1
for field in 1984 2 2 0; do
  xdotool key ctrl+a
  xdotool type --delay 50 "$field"
  xdotool key Tab
done
sleep 0.3
