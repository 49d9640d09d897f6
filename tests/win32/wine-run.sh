#!/usr/bin/env bash
# The cross build's emulator: runs a Windows program under Wine.
#
#   wine-run.sh STATE-DIR PROGRAM ARGUMENTS...
#
# Inside a session of with-wine.sh for STATE-DIR it starts at once;
# otherwise it makes a session for this one program (a few seconds more).
set -euo pipefail
state=${1:?usage: wine-run.sh STATE-DIR PROGRAM ARGUMENTS...}
shift
here=$(dirname "$0")
if [ "${KESTIVO_WINE_SESSION:-}" = "$(cd "$state" 2>/dev/null && pwd)" ]; then
    exec wine "$@"
fi
exec "$here/with-wine.sh" "$state" wine "$@"
