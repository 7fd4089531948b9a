# Four Pillars: 八字 (Ctrl+B), solar 1984-02-04 12:00, 男 (the worked example).
# Sourced by chart_screenshot.sh with the editor focused; leaves the filled-in
# dialog focused, its 确定 the default button.
chart_title="Four Pillars"
xdotool key ctrl+b
sleep 1
for field in 1984 2 4 12; do
  xdotool key ctrl+a
  xdotool type --delay 50 "$field"
  xdotool key Tab
done
sleep 0.3
