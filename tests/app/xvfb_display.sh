# Sourced by the scripts that run Omenry or a window test under X. Checks
# that Xvfb and the programs named in $tools are installed; makes the
# directory $work, removed on exit together with the processes $app_pid and
# $xvfb_pid; starts a private Xvfb (it picks a free display itself and names
# it once it is ready) and exports DISPLAY; and defines window_of.
#
# Before sourcing, set: name (for messages) and tools (the other programs the
# script needs; may be empty).
#
# window_of REGEX: the id of the first visible window whose name matches,
# waiting up to 20 s; status 1 when none appears (needs xdotool).

for tool in Xvfb $tools; do
  command -v $tool >/dev/null || { echo "$name: $tool is missing (scripts/install-deps)" >&2; exit 1; }
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

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
i=0
until [ -s "$work/display" ]; do
  i=$((i + 1))
  if [ $i -gt 50 ]; then
    echo "$name: Xvfb did not start" >&2
    cat "$work/xvfb.log" >&2
    exit 1
  fi
  sleep 0.2
done
export DISPLAY=":$(head -n 1 "$work/display")"

window_of() {
  i=0
  while :; do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    i=$((i + 1)); [ $i -gt 100 ] && return 1
    sleep 0.2
  done
}
