#!/usr/bin/env bash
# The display server goes away under the open window (the X server ended, the
# compositor crashed, a forwarded connection dropped): the program ends with
# its own one line and status 1, neither hung nor killed by a signal.
#
#   check_display_lost.sh x11|wayland PROGRAM
#
# Starts a server of its own, private to this run, so that it can end it.
set -uo pipefail
kind=$1 exe=$2
runtime=$(mktemp -d "${TMPDIR:-/tmp}/kestivo1-lost.XXXXXX")
chmod 700 "$runtime"
server= app=
# shellcheck disable=SC2317 # run by the trap
cleanup() {
    for pid in $app $server; do kill -9 "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$runtime"
}
trap cleanup EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_RUNTIME_DIR=$runtime

case $kind in
x11)
    Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$runtime/display" 2>/dev/null &
    server=$!
    for ((i = 0; i < 100; i++)); do [ -s "$runtime/display" ] && break; sleep 0.05; done
    export DISPLAY=":$(tr -dc 0-9 <"$runtime/display")" QT_QPA_PLATFORM=xcb
    ;;
wayland)
    backend=headless
    weston --help 2>&1 | grep -q 'headless-backend.so' && backend=headless-backend.so
    weston --backend="$backend" --use-pixman --socket=lost --width=1600 --height=1000 \
        --idle-time=0 --no-config >/dev/null 2>&1 &
    server=$!
    for ((i = 0; i < 100; i++)); do [ -e "$runtime/lost" ] && break; sleep 0.05; done
    export WAYLAND_DISPLAY=lost QT_QPA_PLATFORM=wayland
    ;;
esac

"$exe" >/dev/null 2>"$runtime/err" &
app=$!
# Time to connect and show the window (longer under the sanitizers), and
# sit idle.
sleep 5
kill -0 "$app" 2>/dev/null || { echo "$kind: the program did not start"; cat "$runtime/err"; exit 1; }
kill -9 "$server"
wait "$server" 2>/dev/null
server=
# Bounded: a program that hangs here is a failure too.
for ((i = 0; i < 300; i++)); do
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$app" 2>/dev/null; then
    echo "$kind: still running 30 s after the server ended"
    exit 1
fi
wait "$app"
status=$?
app=
fail=0
[ "$status" -eq 1 ] || { echo "$kind: status $status, expected 1"; fail=1; }
grep -q '^Kestivo1: the connection to the window system was lost: ' "$runtime/err" ||
    { echo "$kind: no line of the program's saying the connection was lost"; fail=1; }
sed "s/^/  stderr: /" "$runtime/err"
[ "$fail" -eq 0 ] && echo "$kind: the server ended under the window; one line, status 1"
exit "$fail"
