# Xuankong: 玄空 has no shortcut and no menu entry, only its tool button, so it
# is clicked (the editor lies at 0,0, 1280 × 800: the button is the last of the
# toolbar's chart buttons). 八运 stays, 子山午向 and 挨星替卦 are chosen with
# the arrow keys. Sourced by chart_screenshot.sh with the editor focused;
# leaves the filled-in dialog focused, its 确定 the default button.
chart_title="Xuankong"
xdotool mousemove --window "$editor" 371 43 click 1
sleep 1
xdotool key Tab Down   # 壬山丙向 → 子山午向
xdotool key Tab Down   # 挨星下卦 → 挨星替卦
sleep 0.3
