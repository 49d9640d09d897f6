#!/usr/bin/env bash
# The cross build's emulator: runs a Windows program under Wine.
#
#   wine-run.sh STATE-DIR PROGRAM ARGUMENTS...
#
# Inside a session of with-wine.sh for STATE-DIR it starts at once;
# otherwise it makes a session for this one program (a few seconds more).
#
# The program's output goes through files: Wine's own processes that the
# program happens to start (the desktop, services) inherit its output and
# outlive it, and would keep a pipe from the caller open long after it ended.
set -euo pipefail
state=${1:?usage: wine-run.sh STATE-DIR PROGRAM ARGUMENTS...}
shift
here=$(dirname "$0")
if [ "${KESTIVO_WINE_SESSION:-}" != "$(cd "$state" 2>/dev/null && pwd)" ]; then
    exec "$here/with-wine.sh" "$state" "$0" "$state" "$@"
fi
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
rc=0
wine "$@" >"$out" 2>"$err" || rc=$?
cat "$out"
cat "$err" >&2
exit "$rc"
