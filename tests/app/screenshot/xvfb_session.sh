# Sourced by the screenshot scripts: starts Omenry under its own Xvfb, with
# the sample casebook as the Data directory next to the program and settings
# in a private home, and removes everything again on exit.
#
# Before sourcing, set: name (for messages), build (the build directory) and
# app_files (the files of $build/bin copied beside each other, Omenry first).
# Afterwards: $work, $DISPLAY, $main (the main window), window_of and fail.

for tool in Xvfb xdotool import; do
  command -v $tool >/dev/null || { echo "$name: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done
for file in $app_files sample_casebook; do
  [ -e "$build/bin/$file" ] ||
    { echo "$name: build $app_files and sample_casebook in $build first" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

mkdir -p "$work/app" "$work/home" "$work/run"
chmod 700 "$work/run"
for file in $app_files; do cp "$build/bin/$file" "$work/app/"; done
"$build/bin/sample_casebook" "$work/app/Data"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
  XDG_DATA_HOME="$work/home/.local/share" XDG_RUNTIME_DIR="$work/run"

# Xvfb picks a free display itself and names it once it is ready.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
i=0
until [ -s "$work/display" ]; do
  i=$((i + 1)); [ $i -gt 50 ] && { echo "$name: Xvfb did not start" >&2; exit 1; }
  sleep 0.2
done
export DISPLAY=":$(head -n 1 "$work/display")"

# ASan's exit-time leak check is of no use for a process killed at the end.
ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=xcb "$work/app/Omenry" >"$work/app.log" 2>&1 &
app_pid=$!

fail() {
  echo "$name: $1" >&2
  cat "$work/app.log" >&2
  exit 1
}
window_of() {
  i=0
  while :; do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    i=$((i + 1)); [ $i -gt 100 ] && return 1
    sleep 0.2
  done
}
main=$(window_of '^Hexalore [0-9]+\.[0-9]+$') || fail "the main window did not appear"
# No window manager runs: size the window as a desktop would.
xdotool windowsize "$main" 1280 800 windowmove "$main" 0 0
sleep 0.5
