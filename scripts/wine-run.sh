#!/usr/bin/env bash
# Runs one Windows program under Wine in the project's prefix and passes on its exit code.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
# Services that Wine starts inherit the caller's stdout and would keep a reader's pipe
# open for ever, so the program writes to a file that is shown afterwards.
out=$(mktemp)
wine "$@" >"$out" 2>&1
rc=$?
cat "$out"
rm -f "$out"
exit $rc
