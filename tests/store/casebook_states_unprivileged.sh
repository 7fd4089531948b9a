#!/bin/sh
# Runs the table of casebook states as an unprivileged user, where
# permission bits hold (root writes whatever the bits say). Run as root, it
# drops to "nobody"; run as anyone else, the table already ran as that user
# and this has nothing to add. Exit code 77: skipped.
test_program="$1"
if [ "$(id -u)" -ne 0 ]; then
  echo "not root: the table ran unprivileged already"
  exit 77
fi
drop="setpriv --reuid=65534 --regid=65534 --clear-groups"
if ! $drop test -x "$test_program"; then
  echo "nobody cannot run $test_program (its directories are closed to others)"
  exit 77
fi
exec $drop env HOME=/tmp TMPDIR=/tmp "$test_program" --gtest_filter='Table/CasebookStates.*'
