#!/bin/sh
# Times the search window's two-word "全部" search (title or text, words
# joined by "and", and by "or") on a generated casebook through the store,
# next to `grep -F -c` for the same two words over the same titles and
# texts dumped to one file; and, for comparison, the same "and" search by
# scanning the table with its condition alone (no word index).
#
#   tools/casebook/search_budget.sh CASEBOOK_BINARY DATA_DIR [WORD_PAIR ...]
#
# DATA_DIR holds a casebook made by `casebook generate`. A word pair is one
# argument, the two words separated by a blank ("壬子 开门"). Each figure
# is the best of three runs, in milliseconds (the file is in the page cache
# after the first).
set -e
bin=$1
dir=$2
shift 2
[ $# -gt 0 ] || set -- "壬子 开门" "王 婚" "用神 开门" "争执 口角" "开门临值符 壬子"
dump=$(mktemp)
trap 'rm -f "$dump"' EXIT
"$bin" dump "$dir" "$dump" >/dev/null
echo "dump: $(($(stat -c %s "$dump") / 1048576)) MB of titles and texts"

now_ms() { date +%s%3N; }
# grep writes its count to a pipe: with its output going to /dev/null GNU grep
# stops at the first match.
grep_ms() {
  best=
  for _ in 1 2 3; do
    t0=$(now_ms)
    grep -F -c -e "$1" -e "$2" "$dump" | cat >/dev/null
    t=$(($(now_ms) - t0))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  echo "$best"
}
search_ms() {
  "$bin" search "$dir" --repeat 3 "$@" |
    sed -n 's/.*: \([0-9]*\) rows, \([0-9.]*\) ms$/\1 \2/p' |
    sort -n -k2 | head -1
}
echo "milliseconds (rows found): grep -F -c | index, and | index, or | scan, and | words"
for pair in "$@"; do
  set -- $pair
  g=$(grep_ms "$1" "$2")
  a=$(search_ms "$1" "$2")
  o=$(search_ms --or "$1" "$2")
  s=$(search_ms --scan "$1" "$2")
  show() { echo "$2 ($1)"; }
  echo "$g | $(show $a) | $(show $o) | $(show $s) | $pair"
done
