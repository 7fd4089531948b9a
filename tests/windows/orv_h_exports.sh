#!/bin/sh
# The names of the exports that orv.h declares, sorted, on one line.
#
#   tests/windows/orv_h_exports.sh orv.h
sed -n 's/^ORV_EXPORT([^)]*) *\([A-Za-z_][A-Za-z0-9_]*\)(.*/\1/p' "$1" | sort | tr '\n' ' ' | sed 's/ $//'
