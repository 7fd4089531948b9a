# Qimen: 奇门 (Ctrl+Q), solar 2024-02-10 03:00, 局 自动, 转盘 (the rotating
# placement, the default): 立春下元 阳遁二局, no solar-term change in that
# double hour, so no question. Sourced by chart_screenshot.sh with the editor
# focused; leaves the filled-in dialog focused, its 确定 the default button.
chart_title="Qimen"
xdotool key ctrl+q
sleep 1
for field in 2024 2 10 3; do
  xdotool key ctrl+a
  xdotool type --delay 50 "$field"
  xdotool key Tab
done
sleep 0.3
