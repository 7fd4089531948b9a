# Sourced by the screenshot scripts: starts Omenry under its own Xvfb, with
# the sample casebook as the Data directory next to the program and settings
# in a private home, and removes everything again on exit.
#
# Before sourcing, set: here (this directory), name (for messages), build (the
# build directory) and app_files (the files of $build/bin copied beside each
# other, Omenry first).
# Afterwards: $work, $DISPLAY, $main (the main window), window_of and fail.

tools="xdotool import"
. "$here/../xvfb_display.sh"
for file in $app_files sample_casebook; do
  [ -e "$build/bin/$file" ] ||
    { echo "$name: build $app_files and sample_casebook in $build first" >&2; exit 1; }
done

mkdir -p "$work/app" "$work/home" "$work/run"
chmod 700 "$work/run"
for file in $app_files; do cp "$build/bin/$file" "$work/app/"; done
"$build/bin/sample_casebook" "$work/app/Data"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
  XDG_DATA_HOME="$work/home/.local/share" XDG_RUNTIME_DIR="$work/run"

# ASan's exit-time leak check is of no use for a process killed at the end.
ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=xcb "$work/app/Omenry" >"$work/app.log" 2>&1 &
app_pid=$!

fail() {
  echo "$name: $1" >&2
  cat "$work/app.log" >&2
  exit 1
}
main=$(window_of '^Hexalore [0-9]+\.[0-9]+$') || fail "the main window did not appear"
# No window manager runs: size the window as a desktop would.
xdotool windowsize "$main" 1280 800 windowmove "$main" 0 0
sleep 0.5
